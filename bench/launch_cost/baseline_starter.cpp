// The launch-cost bench's reference: the least a starter can do. It hands the
// rest of its own command line, as the C runtime delivers it, to CreateProcessW
// once and exits, 0 when the process was created, 1 when not. It reads no file
// and parses nothing, so the bench can give it exactly the command line the
// launcher would build and compare the two starts.

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandTail, int) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandTail, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}
