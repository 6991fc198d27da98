// version_info FILE: prints what Windows' own functions read of FILE, in the
// form of `launcher-brand --show`, one "Key: value" line each, in UTF-8: its
// version strings (GetFileVersionInfoW, then VerQueryValueW in the file's
// first translation), its fixed file and product versions, each icon group
// with its images (EnumResourceNamesW; an image CreateIconFromResourceEx
// cannot load, or loads at another size than its entry's, is marked),
// whether it carries a certificate
// (ImageEnumerateCertificates) and whether its header checksum is right
// (MapFileAndCheckSumW). Exits 1 when FILE has no version information.
// scripts/build shows a branded copy's details with it; the package tests
// compare it with --show.
#include <windows.h>
#include <imagehlp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "received_record.h"

namespace {

void PrintLine(const std::wstring& key, const std::wstring& value) {
  std::printf("%s: %s\n", Utf8(key).c_str(), Utf8(value).c_str());
}

std::wstring VersionText(DWORD high, DWORD low) {
  return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
         std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
}

// The images an icon group names, as "<w>x<h> <bits>" separated by ", ".
std::wstring IconGroupImages(HMODULE module, const wchar_t* name) {
  const HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(14));
  const DWORD size = found != nullptr ? SizeofResource(module, found) : 0;
  const auto* group = found != nullptr ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
  if (group == nullptr || size < 6 || size < 6 + 14u * *reinterpret_cast<const WORD*>(group + 4)) return L"malformed";
  std::wstring images;
  for (WORD index = 0; index < *reinterpret_cast<const WORD*>(group + 4); ++index) {
    const BYTE* entry = group + 6 + 14 * index;
    const WORD bits = *reinterpret_cast<const WORD*>(entry + 6);
    const WORD id = *reinterpret_cast<const WORD*>(entry + 12);
    if (!images.empty()) images += L", ";
    images += std::to_wstring(entry[0] == 0 ? 256 : entry[0]) + L"x" + std::to_wstring(entry[1] == 0 ? 256 : entry[1]) +
              L" " + std::to_wstring(bits);
    const HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
    void* data = image != nullptr ? LockResource(LoadResource(module, image)) : nullptr;
    const HICON icon = data != nullptr ? CreateIconFromResourceEx(static_cast<BYTE*>(data), SizeofResource(module, image),
                                                                  TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR)
                                       : nullptr;
    if (icon == nullptr) {
      images += L" (not loaded)";
      continue;
    }
    ICONINFO info{};
    BITMAP colour{};
    if (GetIconInfo(icon, &info) && GetObjectW(info.hbmColor, sizeof colour, &colour) != 0 &&
        (colour.bmWidth != (entry[0] == 0 ? 256 : entry[0]) || colour.bmHeight != (entry[1] == 0 ? 256 : entry[1]))) {
      images += L" (loaded as " + std::to_wstring(colour.bmWidth) + L"x" + std::to_wstring(colour.bmHeight) + L")";
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  return images;
}

BOOL CALLBACK PrintIconGroup(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR) {
  const std::wstring id = IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : name;
  PrintLine(L"Icon group " + id, IconGroupImages(module, name));
  return TRUE;
}

}  // namespace

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

  // LegalTrademarks is printed only where a file has it.
  for (const wchar_t* name : {L"FileDescription", L"ProductName", L"CompanyName", L"LegalCopyright",
                              L"InternalName", L"OriginalFilename", L"FileVersion", L"ProductVersion",
                              L"LegalTrademarks"}) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
    std::wstring text = L"<missing>";
    if (VerQueryValueW(info.data(), path.c_str(), &value, &length)) {
      // The length counts the terminating NUL where the resource has one.
      text.assign(static_cast<const wchar_t*>(value), length);
      while (!text.empty() && text.back() == L'\0') text.pop_back();
    } else if (std::wstring(name) == L"LegalTrademarks") {
      continue;
    }
    PrintLine(name, text);
  }
  if (VerQueryValueW(info.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    PrintLine(L"Fixed file version", VersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
    PrintLine(L"Fixed product version", VersionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
  }

  const HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module != nullptr) {
    EnumResourceNamesW(module, MAKEINTRESOURCEW(14), PrintIconGroup, 0);
    FreeLibrary(module);
  }
  const HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD certificates = 0;
  if (file != INVALID_HANDLE_VALUE) {
    ImageEnumerateCertificates(file, CERT_SECTION_TYPE_ANY, &certificates, nullptr, 0);
    CloseHandle(file);
  }
  PrintLine(L"Signature", certificates != 0 ? L"yes" : L"no");
  DWORD headerSum = 0;
  DWORD checkSum = 0;
  const bool summed = MapFileAndCheckSumW(argv[1], &headerSum, &checkSum) == CHECKSUM_SUCCESS;
  PrintLine(L"Checksum", summed && headerSum == checkSum ? L"right" : L"wrong");
  return 0;
}
