#pragma once

// What launcher-brand is asked to do, read from its command line, and the
// ways it can fail, each with its one-line message.

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "brand/version_resource.h"
#include "text/wide_text.h"

enum class BrandProblem {
  // The command line; the subject is the argument at fault.
  kUnknownOption,
  kMissingValue,
  kRepeatedOption,
  kTwoIconSources,
  kMissingFileArgument,
  kExtraArgument,
  kMalformedVersion,
  kTextNotWellFormed,
  kTargetWithoutName,
  kTargetNotExe,
  // The files; the subject is the file's path as given.
  kSourceMissing,
  kSourceUnreadable,
  kSourceTooLarge,
  kSourceNotProgram,
  kSourceNotLauncher,
  kSourceWithoutResources,
  kSourceResourcesMalformed,
  kSourceSymbolTable,
  kSourceDataAfterResources,
  kSourceDataAfterSections,
  kSourceVersionMalformed,
  kIconMissing,
  kIconUnreadable,
  kIconTooLarge,
  kIconTruncated,
  kNotAnIcon,
  kIconImageIncomplete,
  kIconImagesOverlap,
  kIconLogoShape,
  kIconPngTooLarge,
  kIconPngUndecodable,
  kProgramMissing,
  kProgramUnreadable,
  kProgramTooLarge,
  kProgramIsIconFile,
  kProgramNotProgram,
  kProgramResourcesMalformed,
  kProgramWithoutIcon,
  kProgramIconElsewhere,
  kProgramIconMalformed,
  kTargetIsSource,
  kTargetIsIcon,
  kTargetIsProgram,
  kTargetIsLink,
  kTargetNotFile,
  kTargetUnreadable,
  kTargetNotProgram,
  kTargetNotLauncher,
  kTargetReadOnly,
  kVersionTooLong,
  kCopyTooLarge,
  kTargetFolderMissing,
  kTargetFolderNotWritable,
  kTargetNotWritten,
  kTargetInUse,
  kTargetAccessDenied,
  kTargetLeftAsBackup,
  kCopyBlockedByScanner,
  kCopyNotVerified,
};

struct BrandFailure {
  BrandProblem problem;
  WideText subject;
  std::uint32_t systemError = 0;  // the system's error code where one explains it
  WideText detail = {};           // a size or count the message gives, where it gives one
  std::vector<WideText> leftBehind = {};  // files the run made and could not remove
  friend bool operator==(const BrandFailure&, const BrandFailure&) = default;
};

// The one line that reports `failure`, without a line ending: what went wrong
// and with which argument or file (quoted, even when empty; control
// characters shown as '?'), the system error in parentheses as the platform
// words it (SystemErrorText) when there is one, and after a command-line
// problem the usage; then each file left behind, quoted.
WideText FailureMessage(const BrandFailure& failure);

// What --help prints: the tool, its version and what it does on the first
// line, then the usage and each option, one line each.
WideText HelpText();

// What --version alone prints: "launcher-brand" and the tool's version.
WideText ToolVersionLine();

struct BrandRequest {
  WideText source;                      // SOURCE.exe
  WideText target;                      // TARGET.exe
  std::optional<WideText> iconFile;     // --icon
  std::optional<WideText> iconProgram;  // --icon-from
  VersionEdits edits;                   // fileName is TARGET's file name
  bool helpAsked = false;               // --help or -h: nothing else is read
  bool versionAsked = false;            // --version and nothing else
  std::optional<WideText> show;         // --show FILE: FILE is only read, nothing is written
};

// The request that `arguments` (the command line's words after the program
// name) make: two paths, SOURCE then TARGET, and options anywhere, each
// followed by its value and each given at most once. A word starting with
// "--" is an option. The texts of the version options must be well-formed
// UTF-16: no unpaired surrogate, which is what a byte that is not UTF-8
// becomes on Linux (DecodeUtf8Escaped); paths may be any text. TARGET must name a file ending in ".exe" in any letter
// case: a launcher's copy finds its configuration through it. "--help" or
// "-h" where an option may stand asks for help, whatever else is there.
// "--show FILE" stands alone: no path or other option may come with it.
// "--version" as the only word asks for the tool's version; anywhere else it
// takes a value, as every option does.
std::variant<BrandRequest, BrandFailure> ParseBrandArguments(const std::vector<WideText>& arguments);

// The one line that reports a copy written: "launcher-brand: wrote 'TARGET'
// from 'SOURCE'", quoted as FailureMessage quotes.
WideText WrittenMessage(const BrandRequest& request);

// The line that tells the maker that the copy `target` keeps launcher.exe's
// own value of each of `fields` (FileDescription, CompanyName,
// LegalCopyright, FileVersion), naming the options that set them.
WideText KeptFieldsNotice(const WideText& target, const std::vector<std::u16string_view>& fields);

// The line that tells the maker which PNG images of the icon file `icon`
// the copy holds as 8-bit RGBA, each as WithRgba8PngImages describes it.
WideText ConvertedImagesNotice(const WideText& icon, const std::vector<WideText>& converted);

// The line that tells the maker that the backup of the file a copy replaced,
// `backup`, could not be removed (`error`).
WideText BackupLeftNotice(const WideText& backup, std::uint32_t error);
