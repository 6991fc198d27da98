#include "launch/dll_search_win32.h"

#include <string>

DllSearch LimitDllSearch(HMODULE kernel32) {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const FARPROC address =
      kernel32 == nullptr ? nullptr : GetProcAddress(kernel32, "SetDefaultDllDirectories");
  // GCC accepts a cast between unrelated function types only through
  // void (*)(), which stands for "any function".
  const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void (*)()>(address));
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
