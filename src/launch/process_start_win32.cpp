// The launcher's CreateProcessW, in a file of its own so that a test build of
// the launcher can put a scripted start in its place.
#include <windows.h>

#include "launch/platform.h"
#include "launch/win32_text.h"

std::optional<std::uint32_t> StartApplication(WideText commandLine, WideText directory,
                                              std::optional<std::uint16_t> showState) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (showState) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = *showState;
  }
  PROCESS_INFORMATION process{};
  // CreateProcessW may write into the command line, so it gets our own
  // buffer. An empty directory is passed as an empty string, not as null, which
  // would mean "inherit ours".
  const BOOL created = CreateProcessW(
      nullptr, reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr, FALSE, 0,
      nullptr, AsWindowsText(directory), &startup, &process);
  if (created) return std::nullopt;
  return GetLastError();
}
