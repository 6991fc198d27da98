// version_info FILE: prints the version strings of FILE as Windows reads them
// (GetFileVersionInfoW, then VerQueryValueW in the file's first translation),
// one "Name: value" line each, in UTF-8. Exits 1 when FILE has no version
// information. scripts/build shows a branded copy's details with it.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "received_record.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: version_info FILE\n");
    return 2;
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
  std::vector<BYTE> info(size);
  void* value = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, info.data()) ||
      !VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
      length < 2 * sizeof(WORD)) {
    std::fprintf(stderr, "version_info: no version information in %s\n", Utf8(argv[1]).c_str());
    return 1;
  }
  const WORD* translation = static_cast<const WORD*>(value);
  wchar_t table[16];
  swprintf(table, 16, L"%04x%04x", translation[0], translation[1]);

  for (const wchar_t* name : {L"FileDescription", L"ProductName", L"CompanyName", L"LegalCopyright",
                              L"InternalName", L"OriginalFilename", L"FileVersion", L"ProductVersion"}) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
    std::wstring text = L"<missing>";
    if (VerQueryValueW(info.data(), path.c_str(), &value, &length)) {
      // The length counts the terminating NUL where the resource has one.
      text.assign(static_cast<const wchar_t*>(value), length);
      while (!text.empty() && text.back() == L'\0') text.pop_back();
    }
    std::printf("%s: %s\n", Utf8(name).c_str(), Utf8(text).c_str());
  }
  return 0;
}
