#pragma once

// What launcher-brand is asked to do, read from its command line, and the
// ways it can fail, each with its one-line message.

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "brand/version_resource.h"
#include "launch/launch_types.h"

enum class BrandProblem {
  // The command line; the subject is the argument at fault.
  kUnknownOption,
  kMissingValue,
  kRepeatedOption,
  kTwoIconSources,
  kMissingFileArgument,
  kExtraArgument,
  kMalformedVersion,
  kTargetWithoutName,
  // The files; the subject is the file's path as given.
  kSourceMissing,
  kSourceUnreadable,
  kSourceNotProgram,
  kSourceVersionMalformed,
  kTargetIsSource,
  kIconMissing,
  kIconUnreadable,
  kIconTruncated,
  kNotAnIcon,
  kProgramMissing,
  kProgramUnreadable,
  kProgramWithoutIcon,
  kProgramIconMalformed,
  kVersionTooLong,
  kTargetFolderMissing,
  kTargetFolderNotWritable,
  kTargetNotWritten,
};

struct BrandFailure {
  BrandProblem problem;
  WideText subject;
  std::uint32_t systemError = 0;  // Windows' error code where one explains it
  friend bool operator==(const BrandFailure&, const BrandFailure&) = default;
};

// The one line that reports `failure`, without a line ending: what went wrong
// and with which argument or file (quoted, control characters shown as '?'),
// the system error as "(system error #N)" when there is one, and after a
// command-line problem the usage.
WideText FailureMessage(const BrandFailure& failure);

struct BrandRequest {
  WideText source;                      // SOURCE.exe
  WideText target;                      // TARGET.exe
  std::optional<WideText> iconFile;     // --icon
  std::optional<WideText> iconProgram;  // --icon-from
  VersionEdits edits;                   // fileName is TARGET's file name
};

// The request that `arguments` (the command line's words after the program
// name) make: two paths, SOURCE then TARGET, and options anywhere, each
// followed by its value and each given at most once. A word starting with
// "--" is an option.
std::variant<BrandRequest, BrandFailure> ParseBrandArguments(const std::vector<WideText>& arguments);
