#include "brand/brand_request.h"

#include <string_view>

#include "launch/text.h"

namespace {

constexpr std::u16string_view kUsage =
    u"; usage: launcher-brand SOURCE.exe TARGET.exe [--icon FILE.ico | --icon-from PROGRAM.exe] "
    u"[--description TEXT] [--product-name TEXT] [--company TEXT] [--copyright TEXT] "
    u"[--version A.B.C.D]";

// A subject may hold any code unit; control characters show as '?' so that a
// message stays one line.
WideText Quoted(WideText text) {
  for (char16_t& unit : text) {
    if (unit < u' ' || unit == u'\x7f') unit = u'?';
  }
  return u"'" + text + u"'";
}

// The part of `path` after its last separator.
WideText FileNameOf(const WideText& path) {
  const std::size_t separator = path.find_last_of(u"\\/:");
  return separator == WideText::npos ? path : path.substr(separator + 1);
}

}  // namespace

WideText FailureMessage(const BrandFailure& failure) {
  // Each message: its text before the subject, after it, and whether the
  // usage follows. An empty subject is left out.
  struct Form {
    BrandProblem problem;
    std::u16string_view before;
    std::u16string_view after;
    bool usage;
  };
  constexpr Form kForms[] = {
      {BrandProblem::kUnknownOption, u"unknown option ", u"", true},
      {BrandProblem::kMissingValue, u"option ", u" needs a value", true},
      {BrandProblem::kRepeatedOption, u"option ", u" is given twice", true},
      {BrandProblem::kTwoIconSources, u"'--icon' and ", u" cannot be given together", true},
      {BrandProblem::kMissingFileArgument, u"SOURCE.exe and TARGET.exe are both needed", u"", true},
      {BrandProblem::kExtraArgument, u"unexpected argument ", u"", true},
      {BrandProblem::kMalformedVersion, u"malformed version ",
       u": four numbers from 0 to 65535 are needed, as in 2.1.0.0", false},
      {BrandProblem::kTargetWithoutName, u"the target ", u" names no file", false},
      {BrandProblem::kSourceMissing, u"cannot find the source ", u"", false},
      {BrandProblem::kSourceUnreadable, u"cannot read the source ", u"", false},
      {BrandProblem::kSourceNotProgram, u"the source ", u" is not a Windows program", false},
      {BrandProblem::kSourceVersionMalformed, u"the version information of the source ", u" is malformed",
       false},
      {BrandProblem::kTargetIsSource, u"the target ", u" is the source itself", false},
      {BrandProblem::kIconMissing, u"cannot find the icon file ", u"", false},
      {BrandProblem::kIconUnreadable, u"cannot read the icon file ", u"", false},
      {BrandProblem::kIconTruncated, u"the icon file ", u" is truncated", false},
      {BrandProblem::kNotAnIcon, u"", u" is not an icon file", false},
      {BrandProblem::kProgramMissing, u"cannot find the program ", u"", false},
      {BrandProblem::kProgramUnreadable, u"cannot read the resources of ", u" as a Windows program", false},
      {BrandProblem::kProgramWithoutIcon, u"the program ", u" has no icon", false},
      {BrandProblem::kProgramIconMalformed, u"the icon of the program ", u" is malformed", false},
      {BrandProblem::kVersionTooLong, u"the texts are too long for the version information of ", u"", false},
      {BrandProblem::kTargetFolderMissing, u"the target's folder ", u" does not exist", false},
      {BrandProblem::kTargetFolderNotWritable, u"cannot write in the target's folder ", u"", false},
      {BrandProblem::kTargetNotWritten, u"cannot write the target ", u"", false},
  };
  WideText text = u"launcher-brand: ";
  for (const Form& form : kForms) {
    if (form.problem != failure.problem) continue;
    text += form.before;
    if (!failure.subject.empty()) text += Quoted(failure.subject);
    text += form.after;
    if (failure.systemError != 0) text += u" (system error #" + DecimalText(failure.systemError) + u")";
    if (form.usage) text += kUsage;
  }
  return text;
}

std::variant<BrandRequest, BrandFailure> ParseBrandArguments(const std::vector<WideText>& arguments) {
  BrandRequest request;
  std::optional<WideText> version;
  const std::pair<std::u16string_view, std::optional<WideText>*> options[] = {
      {u"--icon", &request.iconFile},
      {u"--icon-from", &request.iconProgram},
      {u"--description", &request.edits.description},
      {u"--product-name", &request.edits.productName},
      {u"--company", &request.edits.company},
      {u"--copyright", &request.edits.copyright},
      {u"--version", &version},
  };
  std::vector<WideText> paths;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const WideText& word = arguments[at];
    if (!word.starts_with(u"--")) {
      if (paths.size() == 2) return BrandFailure{BrandProblem::kExtraArgument, word};
      paths.push_back(word);
      continue;
    }
    std::optional<WideText>* slot = nullptr;
    for (const auto& [name, field] : options) {
      if (word == name) slot = field;
    }
    if (slot == nullptr) return BrandFailure{BrandProblem::kUnknownOption, word};
    if (*slot) return BrandFailure{BrandProblem::kRepeatedOption, word};
    if (at + 1 == arguments.size()) return BrandFailure{BrandProblem::kMissingValue, word};
    *slot = arguments[++at];
  }
  if (request.iconFile && request.iconProgram) {
    return BrandFailure{BrandProblem::kTwoIconSources, u"--icon-from"};
  }
  if (paths.size() < 2) return BrandFailure{BrandProblem::kMissingFileArgument, {}};
  if (version) {
    request.edits.version = ParseFileVersion(*version);
    if (!request.edits.version) return BrandFailure{BrandProblem::kMalformedVersion, *version};
  }
  request.source = paths[0];
  request.target = paths[1];
  request.edits.fileName = FileNameOf(request.target);
  if (request.edits.fileName.empty()) {
    return BrandFailure{BrandProblem::kTargetWithoutName, request.target};
  }
  return request;
}
