#include <windows.h>

#include "launch/launch_sequence.h"
#include "launch/win32_text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR argumentTail, int) {
  return static_cast<int>(RunLauncher(FromWindowsText(argumentTail)));
}
