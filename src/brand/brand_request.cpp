#include "brand/brand_request.h"

#include <string_view>

#include "brand/brand_platform.h"
#include "brand/utf8_escaped.h"
#include "text/text.h"
#include "launcher_version.h"

namespace {

constexpr std::u16string_view kUsage =
    u"; usage: launcher-brand SOURCE.exe TARGET.exe [--icon FILE.ico|LOGO.png | --icon-from PROGRAM.exe] "
    u"[--description TEXT] [--product-name TEXT] [--company TEXT] [--copyright TEXT] [--trademarks TEXT] "
    u"[--version A.B.C.D] [--product-version TEXT]";

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
  // Each message: its text before the subject, after it, whether it names a
  // subject and whether the usage follows.
  struct Form {
    BrandProblem problem;
    std::u16string_view before;
    std::u16string_view after;
    bool usage = false;
    bool subject = true;
    std::u16string_view afterDetail = {};  // follows the failure's detail
  };
  constexpr Form kForms[] = {
      {BrandProblem::kUnknownOption, u"unknown option ", u"", true},
      {BrandProblem::kMissingValue, u"option ", u" needs a value", true},
      {BrandProblem::kRepeatedOption, u"option ", u" is given twice", true},
      {BrandProblem::kTwoIconSources, u"'--icon' and ", u" cannot be given together", true},
      {BrandProblem::kMissingFileArgument, u"SOURCE.exe and TARGET.exe are both needed", u"", true, false},
      {BrandProblem::kExtraArgument, u"unexpected argument ", u"", true},
      {BrandProblem::kMalformedVersion, u"malformed version ",
       u": one to four numbers from 0 to 65535 are needed, as in 2.1 or 2.1.0.0"},
      {BrandProblem::kTextNotWellFormed, u"the text given with ",
       u" is not well-formed: UTF-8 on Linux, and no unpaired surrogate on Windows"},
      {BrandProblem::kTargetWithoutName, u"the target ", u" names no file"},
      {BrandProblem::kTargetNotExe, u"the target ",
       u" does not end in .exe: a launcher's copy finds its .ini through the .exe in its name"},
      {BrandProblem::kSourceMissing, u"cannot find the source ", u""},
      {BrandProblem::kSourceUnreadable, u"cannot read the source ", u""},
      {BrandProblem::kSourceTooLarge, u"the source ", u" is larger than any launcher"},
      {BrandProblem::kSourceNotProgram, u"the source ", u" is not a Windows program"},
      {BrandProblem::kSourceNotLauncher, u"the source ",
       u" is not a launcher: brand launcher.exe or a copy branded from it"},
      {BrandProblem::kSourceWithoutResources, u"the source ", u" has no resource section to brand"},
      {BrandProblem::kSourceResourcesMalformed, u"the resources of the source ", u" are malformed"},
      {BrandProblem::kSourceSymbolTable, u"the source ",
       u" carries a symbol table, as debug builds do: brand a release build"},
      {BrandProblem::kSourceDataAfterResources, u"the source ",
       u" has data after its resources that branding would have to move: brand a launcher built by this project"},
      {BrandProblem::kSourceDataAfterSections, u"the source ", u" has data after its last section"},
      {BrandProblem::kSourceVersionMalformed, u"the version information of the source ", u" is malformed"},
      {BrandProblem::kIconMissing, u"cannot find the icon file ", u""},
      {BrandProblem::kIconUnreadable, u"cannot read the icon file ", u""},
      {BrandProblem::kIconTooLarge, u"the icon file ", u" is larger than 64 MiB"},
      {BrandProblem::kIconTruncated, u"the icon file ", u" is truncated"},
      {BrandProblem::kNotAnIcon, u"", u" is not an icon file"},
      {BrandProblem::kIconImageIncomplete, u"the icon file ", u" holds an image whose data is incomplete"},
      {BrandProblem::kIconImagesOverlap, u"the icon file ", u" holds images that overlap"},
      {BrandProblem::kIconLogoShape, u"the icon file ", u" is a ", false, true,
       u" PNG image: an icon is made from a square PNG image of at least 256x256 pixels"},
      {BrandProblem::kIconPngTooLarge, u"the icon file ", u" holds a ", false, true,
       u" PNG image, larger than the 4096x4096 pixels launcher-brand decodes"},
      {BrandProblem::kIconPngUndecodable, u"the icon file ", u" holds a PNG image that does not decode"},
      {BrandProblem::kProgramMissing, u"cannot find the program ", u""},
      {BrandProblem::kProgramUnreadable, u"cannot read the program ", u""},
      {BrandProblem::kProgramTooLarge, u"the program ", u" is larger than a Windows program can be"},
      {BrandProblem::kProgramIsIconFile, u"", u" is an icon file: give it with --icon, not --icon-from"},
      {BrandProblem::kProgramNotProgram, u"the program ", u" is not a Windows program"},
      {BrandProblem::kProgramResourcesMalformed, u"the resources of the program ", u" are malformed"},
      {BrandProblem::kProgramWithoutIcon, u"the program ", u" has no icon"},
      {BrandProblem::kProgramIconElsewhere, u"the program ",
       u" carries no icon of its own: Windows keeps it in a separate resource file (.mun or .mui); "
       u"extract the icon to a .ico file and give that with --icon"},
      {BrandProblem::kProgramIconMalformed, u"the icon of the program ", u" is malformed"},
      {BrandProblem::kTargetIsSource, u"the target ", u" is the source itself"},
      {BrandProblem::kTargetIsIcon, u"the target ", u" is the icon file itself"},
      {BrandProblem::kTargetIsProgram, u"the target ", u" is the program the icon comes from"},
      {BrandProblem::kTargetIsLink, u"the target ",
       u" is a symbolic link; it and the file it names are left as they are: give that file's own path"},
      {BrandProblem::kTargetNotFile, u"the target ", u" is not a file"},
      {BrandProblem::kTargetUnreadable, u"cannot read the existing target ", u""},
      {BrandProblem::kTargetNotProgram, u"the target ", u" exists and is not a Windows program; it is left as it is"},
      {BrandProblem::kTargetNotLauncher, u"the target ",
       u" is not a launcher copy: choose another TARGET or remove it first"},
      {BrandProblem::kTargetReadOnly, u"the target ", u" is read-only; it is left as it is"},
      {BrandProblem::kVersionTooLong, u"the texts are too long for the version information of ", u""},
      {BrandProblem::kCopyTooLarge, u"the copy ", u" would be larger than a Windows program can be"},
      {BrandProblem::kTargetFolderMissing, u"the target's folder ", u" does not exist"},
      {BrandProblem::kTargetFolderNotWritable, u"cannot write in the target's folder ", u""},
      {BrandProblem::kTargetNotWritten, u"cannot write the target ", u""},
      {BrandProblem::kTargetInUse, u"cannot write the target ",
       u" after trying for 5 seconds: another program may hold it or the copy open; it is left as it was"},
      {BrandProblem::kTargetAccessDenied, u"cannot write the target ",
       u" after trying for 5 seconds: access is denied; another program may hold it or the copy open, or you may "
       u"lack the right to replace it (write access to it and the right to change the copy's permissions; "
       u"on a network share, Full Control); it is left as it was"},
      {BrandProblem::kTargetLeftAsBackup, u"the target ",
       u" could not be replaced, nor put back from its backup: rename the file left behind to it"},
      {BrandProblem::kCopyBlockedByScanner, u"a virus scanner blocked the copy written for ",
       u"; the target is left as it was"},
      {BrandProblem::kCopyNotVerified, u"the copy written for ",
       u" did not read back as written; the target is left as it was"},
  };
  WideText text = u"launcher-brand: ";
  for (const Form& form : kForms) {
    if (form.problem != failure.problem) continue;
    text += form.before;
    if (form.subject) text += Quoted(failure.subject);
    text += form.after;
    if (!form.afterDetail.empty()) text += failure.detail + WideText(form.afterDetail);
    if (failure.systemError != 0) text += u" (" + SystemErrorText(failure.systemError) + u")";
    if (form.usage) text += kUsage;
  }
  for (const WideText& file : failure.leftBehind) text += u"; " + Quoted(file) + u" is left behind";
  return text;
}

WideText WrittenMessage(const BrandRequest& request) {
  return u"launcher-brand: wrote " + Quoted(request.target) + u" from " + Quoted(request.source);
}

WideText KeptFieldsNotice(const WideText& target, const std::vector<std::u16string_view>& fields) {
  constexpr std::pair<std::u16string_view, std::u16string_view> kOptions[] = {
      {u"FileDescription", u"--description"}, {u"CompanyName", u"--company"}, {u"LegalCopyright", u"--copyright"},
      {u"FileVersion", u"--version"}};
  WideText names;
  WideText options;
  for (std::size_t index = 0; index < fields.size(); ++index) {
    const std::u16string_view joint = index == 0 ? u"" : index + 1 == fields.size() ? u" and " : u", ";
    names.append(joint).append(fields[index]);
    for (const auto& [field, option] : kOptions) {
      if (field == fields[index]) options.append(joint).append(option);
    }
  }
  return u"launcher-brand: note: " + Quoted(target) + u" keeps launcher.exe's own " + names +
         u"; give the product's own with " + options;
}

WideText ConvertedImagesNotice(const WideText& icon, const std::vector<WideText>& converted) {
  WideText images;
  for (const WideText& image : converted) images += (images.empty() ? u"" : u", ") + image;
  return u"launcher-brand: note: PNG images of " + Quoted(icon) +
         u" stored as 8-bit RGBA, the form Windows' icon functions take: " + images;
}

WideText BackupLeftNotice(const WideText& backup, std::uint32_t error) {
  return u"launcher-brand: note: the replaced file's backup " + Quoted(backup) + u" is left behind (" +
         SystemErrorText(error) + u"): delete it";
}

WideText HelpText() {
  return u"launcher-brand " LAUNCHER_VERSION_TEXT
         u": writes a copy of a launcher with a product's own icon and version details\n"
         u"usage: launcher-brand SOURCE.exe TARGET.exe [--icon FILE.ico|LOGO.png | --icon-from PROGRAM.exe]\n"
         u"         [--description TEXT] [--product-name TEXT] [--company TEXT] [--copyright TEXT]\n"
         u"         [--trademarks TEXT] [--version A.B.C.D] [--product-version TEXT]\n"
         u"  SOURCE.exe               the launcher to copy; it is only read\n"
         u"  TARGET.exe               the copy to write, replacing an earlier one; its file name\n"
         u"                           becomes InternalName and OriginalFilename\n"
         u"  --icon FILE.ico          the copy's icon: every image of FILE.ico, in its order, its PNG\n"
         u"                           images that are not 8-bit RGBA stored as 8-bit RGBA\n"
         u"  --icon LOGO.png          the copy's icon made from a square PNG image of at least 256x256\n"
         u"                           pixels: 256 as PNG, 64, 48, 32, 24 and 16 as 32-bit bitmaps\n"
         u"  --icon-from PROGRAM.exe  the copy's icon: the one the shell shows for PROGRAM.exe\n"
         u"  --description TEXT       FileDescription\n"
         u"  --product-name TEXT      ProductName\n"
         u"  --company TEXT           CompanyName\n"
         u"  --copyright TEXT         LegalCopyright\n"
         u"  --trademarks TEXT        LegalTrademarks\n"
         u"  --version A.B.C.D        FileVersion and ProductVersion: one to four numbers up to\n"
         u"                           65535, the missing ones 0 (2.1 is 2.1.0.0)\n"
         u"  --product-version TEXT   ProductVersion as any text (3.2 beta 1); the fixed versions\n"
         u"                           still come from --version\n"
         u"  -h, --help               this text\n"
         u"launcher-brand --show FILE\n"
         u"  prints what Windows shows of FILE: its version strings and numbers, icon groups,\n"
         u"  whether it carries a signature and whether its header checksum is right\n"
         u"launcher-brand --version\n"
         u"  prints the tool's name and version\n";
}

WideText ToolVersionLine() { return u"launcher-brand " LAUNCHER_VERSION_TEXT; }

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
      {u"--trademarks", &request.edits.trademarks},
      {u"--version", &version},
      {u"--product-version", &request.edits.productVersion},
      {u"--show", &request.show},
  };
  const auto slotOf = [&](const WideText& word) -> std::optional<WideText>* {
    for (const auto& [name, field] : options) {
      if (word == name) return field;
    }
    return nullptr;
  };
  if (arguments.size() == 1 && arguments.front() == u"--version") {
    request.versionAsked = true;
    return request;
  }
  // Help is asked for wherever an option may stand, whatever else is wrong.
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    if (arguments[at] == u"--help" || arguments[at] == u"-h") {
      BrandRequest help;
      help.helpAsked = true;
      return help;
    }
    if (slotOf(arguments[at]) != nullptr) ++at;
  }
  std::vector<WideText> paths;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const WideText& word = arguments[at];
    if (!word.starts_with(u"--")) {
      if (paths.size() == 2) return BrandFailure{BrandProblem::kExtraArgument, word};
      paths.push_back(word);
      continue;
    }
    std::optional<WideText>* slot = slotOf(word);
    if (slot == nullptr) return BrandFailure{BrandProblem::kUnknownOption, word};
    if (*slot) return BrandFailure{BrandProblem::kRepeatedOption, word};
    if (at + 1 == arguments.size()) return BrandFailure{BrandProblem::kMissingValue, word};
    *slot = arguments[++at];
  }
  if (request.show) {
    for (const auto& [name, field] : options) {
      if (*field && field != &request.show) return BrandFailure{BrandProblem::kExtraArgument, WideText(name)};
    }
    if (!paths.empty()) return BrandFailure{BrandProblem::kExtraArgument, paths.front()};
    return request;
  }
  if (request.iconFile && request.iconProgram) {
    return BrandFailure{BrandProblem::kTwoIconSources, u"--icon-from"};
  }
  if (paths.size() < 2) return BrandFailure{BrandProblem::kMissingFileArgument, {}};
  // The version texts are written into the copy as they are; the paths reach
  // the system byte for byte.
  for (const auto& [name, field] : options) {
    const bool path = field == &request.iconFile || field == &request.iconProgram;
    if (!path && *field && !IsWellFormedUtf16(**field)) {
      return BrandFailure{BrandProblem::kTextNotWellFormed, WideText(name)};
    }
  }
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
  if (!EndsWithExe(request.target)) return BrandFailure{BrandProblem::kTargetNotExe, request.target};
  return request;
}
