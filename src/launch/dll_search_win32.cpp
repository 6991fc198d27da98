#include "launch/dll_search_win32.h"

#include <string>

DllSearch LimitDllSearch(HMODULE kernel32) {
  const auto setDefaultDllDirectories = AsFunction<BOOL(WINAPI*)(DWORD)>(
      kernel32 == nullptr ? nullptr : GetProcAddress(kernel32, "SetDefaultDllDirectories"));
  if (setDefaultDllDirectories != nullptr &&
      setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return DllSearch::kSystem32Only;
  }
  SetDllDirectoryW(L"");
  return DllSearch::kNoCurrentDirectory;
}

HMODULE LoadUser32() {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(system, length) + L"\\user32.dll";
  return LoadLibraryW(path.c_str());
}
