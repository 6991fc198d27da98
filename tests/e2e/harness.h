#pragma once

// Drives the real launcher.exe from a Windows test program: builds fresh
// installation trees, starts the launcher with an exact command line, reads
// and dismisses its message boxes, and reads what the probe application
// (demo_app) recorded about its own start.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "received_record.h"

// Sets the two programs under test once, before any test runs. Paths that
// start with '/' (as CTest passes them under Wine) are taken as Z: paths.
void SetProgramsUnderTest(std::wstring launcher, std::wstring application);
const std::wstring& LauncherProgram();
const std::wstring& ApplicationProgram();

// The path of `fileName` in this test program's own directory, where the build
// puts the helper programs and DLLs the tests need.
std::wstring BesideThisProgram(std::wstring_view fileName);

// "/a/b" becomes "Z:\a\b"; any other path is returned unchanged.
std::wstring ToWindowsPath(std::wstring path);

// Creates a new empty directory under the temporary directory; empty on failure.
std::wstring MakeScratchDirectory();

// Removes a directory tree, retrying for a while; gives up silently.
void RemoveTree(const std::wstring& directory);

// Copies a file, creating the target's missing parent directories.
bool CopyInto(const std::wstring& source, const std::wstring& target);

// Writes the bytes exactly as given (no text-mode translation), creating the
// missing parent directories and replacing any existing file.
bool WriteBytes(const std::wstring& path, std::string_view bytes);

// A message box the launcher showed.
struct ShownBox {
  std::wstring caption;
  std::wstring text;
  std::wstring icon;  // see MessageBoxIcon
  bool topmost = false;  // system-modal or topmost, not application-modal
  friend bool operator==(const ShownBox&, const ShownBox&) = default;
};
void PrintTo(const ShownBox& box, std::ostream* out);

struct LaunchOutcome {
  bool started = false;  // CreateProcessW of the launcher succeeded
  DWORD startError = 0;  // its error when it did not
  bool exited = false;   // it exited before the timeout (else it was killed)
  DWORD exitCode = 0;
  std::vector<ShownBox> boxes;  // each box once, in the order shown
  // The launcher's peak working set while its first box was shown (the
  // process is alive then; Wine reports nothing reliable once it has exited).
  std::uint64_t peakWorkingSetAtBox = 0;
  // Where the module asked for was loaded from while the first box was shown;
  // empty when it was not asked for or did not load within 10 s.
  std::wstring awaitedModulePath;
};

// What the launcher's creator asks of its start in STARTUPINFOW, as a
// shortcut or start /min does: with no flags, nothing.
struct LauncherStartup {
  DWORD flags = 0;
  WORD showWindow = 0;
  std::wstring_view title;
};

// Starts `program` (its full path, passed as lpApplicationName, as cmd.exe
// passes the program it found) with exactly this command line and current
// directory, and lets it inherit a section that the probe looks for
// (kInheritableVariable), then waits up to 30 s for it to exit, reading and
// dismissing (OK) each message box its process shows. Never leaves the
// launcher running. A run that Wine's process creation failed with
// ERROR_INTERNAL_ERROR is made again (twice at most). With `awaitModule` (a
// file name such as L"uxtheme.dll"), the first box stays until the launcher has
// loaded a module of that name, for at most 10 s. The program's STARTUPINFO
// holds `startup`. A program that ends with an exception status (0xC0000000
// and up) other than `declaredException` fails the test, naming it.
LaunchOutcome RunLauncherProcess(const std::wstring& program, const std::wstring& commandLine,
                                 const std::wstring& directory,
                                 std::wstring_view awaitModule = {},
                                 const LauncherStartup& startup = {},
                                 DWORD declaredException = 0);

// What the probe recorded about its own start.
struct ProbeRecord {
  std::wstring commandLine;
  std::wstring directory;
  DWORD processId = 0;
  DWORD startupFlags = 0;  // from GetStartupInfoW
  DWORD showWindow = 0;
  std::wstring title;
  bool inheritedHandle = false;  // it holds the section offered to the launcher
  bool console = false;
};

// Waits up to 30 s for the probe's record at `recordPath` (see RecordPathOf)
// and parses it; nullopt (with a test failure added) when it does not appear
// or is malformed.
std::optional<ProbeRecord> WaitForRecord(const std::wstring& recordPath);

