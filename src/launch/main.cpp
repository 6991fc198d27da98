#include <windows.h>

#include "launch/dll_search_win32.h"
#include "launch/launch_sequence.h"
#include "text/win32_text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR argumentTail, int) {
  // Before anything can load a DLL on the launcher's behalf, so that, as far
  // as this Windows allows, a DLL planted beside the launcher or in the
  // current directory is not loaded into it. The started application has a
  // search order of its own.
  const DllSearch dllSearch = LimitDllSearch(GetModuleHandleW(L"kernel32.dll"));
  return static_cast<int>(RunLauncher(FromWindowsText(argumentTail), dllSearch));
}
