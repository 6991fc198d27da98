// A DLL that must never be loaded: loaded, it leaves "<its own path>.loaded"
// beside itself as evidence, then refuses to stay.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) {
    return TRUE;
  }
  wchar_t path[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return FALSE;
  }
  lstrcpyW(path + length, L".loaded");
  const HANDLE evidence = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (evidence != INVALID_HANDLE_VALUE) {
    CloseHandle(evidence);
  }
  return FALSE;
}
