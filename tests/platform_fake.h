#pragma once

// Control over the test definition of the platform: what the run sees as its
// raw command line, module path, full and long path names, program files and
// its own start,
// how process creation and the shell answer, and what was called, started and
// shown.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "launch/launch_types.h"
#include "launch/platform.h"

struct RecordedStart {
  WideText commandLine;
  WideText directory;
  StartupRequest startup;
  friend bool operator==(const RecordedStart&, const RecordedStart&) = default;
};

struct RecordedShellStart {
  WideText file;
  WideText parameters;
  WideText directory;
  std::uint16_t showState = 0;
  std::optional<std::uint32_t> hotKey;
  friend bool operator==(const RecordedShellStart&, const RecordedShellStart&) = default;
};

// Forgets every record and scripted path and sets the raw command line; the
// module path cannot be had, the launcher's creator asked nothing of its
// start, and starts succeed again.
void ResetFakePlatform(WideText rawCommandLine);

// What LauncherModulePath and OwnStartup give from now on.
void SetModulePath(std::optional<WideText> modulePath);
void SetOwnStartup(StartupRequest startup);

// What FullPathName, or LongPathName, gives for `path` from now on; for a path
// not scripted, both give the path back unchanged, as Windows does for the
// full, long path of an existing file.
void SetFullPathName(WideText path, std::optional<WideText> fullPath);
void SetLongPathName(WideText path, std::optional<WideText> longPath);

// What FindProgramFile gives for `name` from now on; for a name not scripted,
// nothing.
void SetProgramFile(WideText name, WideText file);

// Makes every later StartApplication, or StartThroughShell, fail with `systemError`.
void FailStartsWith(std::uint32_t systemError);
void FailShellStartsWith(std::uint32_t systemError);

const std::vector<RecordedStart>& RecordedStarts();
const std::vector<RecordedShellStart>& RecordedShellStarts();
const std::vector<WideText>& RecordedMessages();
// Which of these platform functions were called since the reset, in order:
// "LauncherModulePath", "RestoreDefaultDllDirectory", "StartApplication",
// "ExcludeCurrentDirectoryFromDllSearch", "StartThroughShell".
const std::vector<std::string>& RecordedCalls();
