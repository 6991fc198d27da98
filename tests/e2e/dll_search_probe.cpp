// The launcher's DLL search where SetDefaultDllDirectories is missing, tried in
// a process that has not loaded USER32 yet, with the launcher's own functions:
//   dll_search_probe   exits 0 when the empty DLL directory replaced the one set
//                      before and LoadSystemDll loaded USER32 from System32;
//                      otherwise with the number of the first check that failed.
#include <windows.h>

#include <string>

#include "launch/dll_search_win32.h"

int wmain() {
  // With USER32 already loaded, any way of loading it would seem to work.
  if (GetModuleHandleW(L"user32.dll") != nullptr) return 10;
  wchar_t system[MAX_PATH];
  const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
  if (systemLength == 0 || systemLength >= MAX_PATH || !SetDllDirectoryW(system)) return 11;

  // This program exports no SetDefaultDllDirectories, as KERNEL32 of a Windows
  // without the update does not.
  if (LimitDllSearch(GetModuleHandleW(nullptr)) != DllSearch::kNoCurrentDirectory) return 12;
  wchar_t directory[MAX_PATH] = L"unread";
  if (GetDllDirectoryW(MAX_PATH, directory) != 0 || directory[0] != L'\0') return 13;

  const HMODULE user32 = LoadSystemDll(L"user32.dll");
  if (user32 == nullptr) return 14;
  wchar_t loaded[MAX_PATH];
  const DWORD loadedLength = GetModuleFileNameW(user32, loaded, MAX_PATH);
  const std::wstring expected = std::wstring(system, systemLength) + L"\\user32.dll";
  if (CompareStringOrdinal(loaded, static_cast<int>(loadedLength), expected.c_str(),
                           static_cast<int>(expected.size()), TRUE) != CSTR_EQUAL) {
    return 15;
  }
  return 0;
}
