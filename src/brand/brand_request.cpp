#include "brand/brand_request.h"

#include <string_view>

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
  const WideText subject = Quoted(failure.subject);
  WideText text;
  bool usage = false;
  switch (failure.problem) {
    case BrandProblem::kUnknownOption: text = u"unknown option " + subject; usage = true; break;
    case BrandProblem::kMissingValue: text = u"option " + subject + u" needs a value"; usage = true; break;
    case BrandProblem::kRepeatedOption: text = u"option " + subject + u" is given twice"; usage = true; break;
    case BrandProblem::kTwoIconSources:
      text = u"'--icon' and '--icon-from' cannot be given together";
      usage = true;
      break;
    case BrandProblem::kMissingFileArgument: text = u"SOURCE.exe and TARGET.exe are both needed"; usage = true; break;
    case BrandProblem::kExtraArgument: text = u"unexpected argument " + subject; usage = true; break;
    case BrandProblem::kMalformedVersion:
      text = u"malformed version " + subject + u": four numbers from 0 to 65535 are needed, as in 2.1.0.0";
      break;
    case BrandProblem::kTargetWithoutName: text = u"the target " + subject + u" names no file"; break;
    case BrandProblem::kSourceMissing: text = u"cannot find the source " + subject; break;
    case BrandProblem::kSourceUnreadable: text = u"cannot read the source " + subject; break;
    case BrandProblem::kSourceNotProgram: text = u"the source " + subject + u" is not a Windows program"; break;
    case BrandProblem::kSourceVersionMalformed:
      text = u"the version information of the source " + subject + u" is malformed";
      break;
    case BrandProblem::kTargetIsSource: text = u"the target " + subject + u" is the source itself"; break;
    case BrandProblem::kIconMissing: text = u"cannot find the icon file " + subject; break;
    case BrandProblem::kIconUnreadable: text = u"cannot read the icon file " + subject; break;
    case BrandProblem::kIconTruncated: text = u"the icon file " + subject + u" is truncated"; break;
    case BrandProblem::kNotAnIcon: text = subject + u" is not an icon file"; break;
    case BrandProblem::kProgramMissing: text = u"cannot find the program " + subject; break;
    case BrandProblem::kProgramUnreadable:
      text = u"cannot read the resources of " + subject + u" as a Windows program";
      break;
    case BrandProblem::kProgramWithoutIcon: text = u"the program " + subject + u" has no icon"; break;
    case BrandProblem::kProgramIconMalformed:
      text = u"the icon of the program " + subject + u" is malformed";
      break;
    case BrandProblem::kVersionTooLong:
      text = u"the texts are too long for the version information of " + subject;
      break;
    case BrandProblem::kTargetFolderMissing: text = u"the target's folder " + subject + u" does not exist"; break;
    case BrandProblem::kTargetFolderNotWritable:
      text = u"cannot write in the target's folder " + subject;
      break;
    case BrandProblem::kTargetNotWritten: text = u"cannot write the target " + subject; break;
  }
  if (failure.systemError != 0) text += u" (system error #" + DecimalText(failure.systemError) + u")";
  if (usage) text += kUsage;
  return u"launcher-brand: " + text;
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
