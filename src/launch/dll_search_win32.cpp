#include "launch/dll_search_win32.h"

#include <cwchar>

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

HMODULE LoadSystemDll(const wchar_t* fileName) {
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  const std::size_t nameLength = std::wcslen(fileName);
  // The directory, a backslash, the name and its terminating NUL must fit.
  if (length == 0 || length >= MAX_PATH || nameLength + 2 > MAX_PATH - length) return nullptr;
  path[length] = L'\\';
  std::wmemcpy(path + length + 1, fileName, nameLength + 1);
  return LoadLibraryW(path);
}
