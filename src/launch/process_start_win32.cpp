// The launcher's CreateProcessW, in a file of its own so that a test build of
// the launcher can put a scripted start in its place.
#include <windows.h>

#include "launch/platform.h"
#include "text/win32_text.h"

static_assert(kStartUseShowWindow == STARTF_USESHOWWINDOW &&
              kStartUseStdHandles == STARTF_USESTDHANDLES &&
              kStartUseHotKey == STARTF_USEHOTKEY &&
              kStartTitleIsLinkName == STARTF_TITLEISLINKNAME &&
              kStartTitleIsAppId == STARTF_TITLEISAPPID &&
              kStartPreventPinning == STARTF_PREVENTPINNING &&
              kStartUntrustedSource == STARTF_UNTRUSTEDSOURCE);

std::optional<std::uint32_t> StartApplication(WideText commandLine, WideText directory,
                                              StartupRequest request) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = request.flags;
  startup.wShowWindow = request.showWindow;
  if (!request.title.empty()) startup.lpTitle = reinterpret_cast<wchar_t*>(request.title.data());
  // With STARTF_USEHOTKEY the hot key travels in hStdInput; the other
  // standard handles stay null.
  startup.hStdInput = reinterpret_cast<HANDLE>(request.standardInput);
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
