#include <windows.h>

#include "launch/platform.h"
#include "launch/win32_text.h"

WideText RawCommandLine() { return FromWindowsText(GetCommandLineW()); }

std::optional<std::uint32_t> StartApplication(WideText commandLine, WideText directory) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
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

void ShowLaunchError(WideText message) {
  MessageBoxW(nullptr, AsWindowsText(message), L"Application Launch Error", MB_ICONERROR);
}
