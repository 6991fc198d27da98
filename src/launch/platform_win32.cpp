#include <windows.h>

#include "launch/dll_search_win32.h"
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

// USER32 is loaded only here: importing it makes every start pay for its
// initialisation, and a run that goes well never shows a box. Without USER32
// the message cannot be shown; the exit status still reports the failure.
void ShowLaunchError(WideText message) {
  const HMODULE user32 = LoadUser32();
  if (user32 == nullptr) return;
  const auto showBox = AsFunction<decltype(&MessageBoxW)>(GetProcAddress(user32, "MessageBoxW"));
  if (showBox == nullptr) return;
  showBox(nullptr, AsWindowsText(message), L"Application Launch Error", MB_ICONERROR);
}
