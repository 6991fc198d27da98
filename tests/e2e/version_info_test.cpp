// The version details and the icon Windows itself reads from launcher.exe,
// as the shell shows them.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace {

std::vector<BYTE> ReadVersionInfo(const std::wstring& file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::vector<BYTE> info(size);
  if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, info.data())) {
    info.clear();
  }
  return info;
}

// The value at `path` in the version resource; nullptr when it is missing.
template <typename Value>
const Value* QueryValue(std::vector<BYTE>& info, const std::wstring& path, UINT* length) {
  void* value = nullptr;
  *length = 0;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, length)) {
    return nullptr;
  }
  return static_cast<const Value*>(value);
}

std::wstring QueryString(std::vector<BYTE>& info, const std::wstring& name) {
  UINT length = 0;
  const auto* text =
      QueryValue<wchar_t>(info, L"\\StringFileInfo\\040904b0\\" + name, &length);
  // The length counts the terminating NUL where the resource has one.
  if (text == nullptr) {
    return L"<missing>";
  }
  std::wstring value(text, length);
  while (!value.empty() && value.back() == L'\0') {
    value.pop_back();
  }
  return value;
}

}  // namespace

TEST(VersionInfo, FixedPartAndTranslationAreReadByWindows) {
  std::vector<BYTE> info = ReadVersionInfo(LauncherProgram());
  ASSERT_FALSE(info.empty()) << "no version information, error " << GetLastError();

  UINT length = 0;
  const auto* fixed = QueryValue<VS_FIXEDFILEINFO>(info, L"\\", &length);
  ASSERT_NE(fixed, nullptr);
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const DWORD versionHigh = (LAUNCHER_EXPECTED_VERSION_MAJOR << 16) | LAUNCHER_EXPECTED_VERSION_MINOR;
  const DWORD versionLow = (LAUNCHER_EXPECTED_VERSION_PATCH << 16) | LAUNCHER_EXPECTED_VERSION_TWEAK;
  EXPECT_EQ(fixed->dwFileVersionMS, versionHigh);
  EXPECT_EQ(fixed->dwFileVersionLS, versionLow);
  EXPECT_EQ(fixed->dwProductVersionMS, versionHigh);
  EXPECT_EQ(fixed->dwProductVersionLS, versionLow);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileSubtype, 0u);

  const auto* translation = QueryValue<WORD>(info, L"\\VarFileInfo\\Translation", &length);
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(length, 2 * sizeof(WORD));
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);
}

TEST(VersionInfo, StringsAreTheMakersOwn) {
  std::vector<BYTE> info = ReadVersionInfo(LauncherProgram());
  ASSERT_FALSE(info.empty()) << "no version information, error " << GetLastError();

  const std::wstring version = LAUNCHER_EXPECTED_VERSION_TEXT;
  const std::pair<std::wstring, std::wstring> expected[] = {
      {L"CompanyName", L"Corvenna Systems, Incorporated"},
      {L"FileDescription", L"Launches Vandrel products on the Windows platform."},
      {L"FileVersion", version},
      {L"InternalName", L"launcher.exe"},
      {L"LegalCopyright", L"Copyright \u00a9 2026 Corvenna Systems, Incorporated"},
      {L"OriginalFilename", L"launcher.exe"},
      {L"ProductName", L"Vandrel Product Launcher"},
      {L"ProductVersion", version},
  };
  for (const auto& [name, value] : expected) {
    EXPECT_EQ(QueryString(info, name), value) << name;
  }
}

// The shell finds the icon groups of the launcher and of every copy
// launcher-brand writes, and an image of the first group at each size it asks
// for: the resource tree is laid out so that Windows' own search finds them.
TEST(ShellIcon, TheShellShowsTheFirstGroupAtEverySize) {
  EXPECT_EQ(ExtractIconExW(LauncherProgram().c_str(), -1, nullptr, nullptr, 0), 2u) << "icon groups";
  for (const int size : {16, 32, 48, 256}) {
    HICON icon = nullptr;
    UINT id = 0;
    ASSERT_EQ(PrivateExtractIconsW(LauncherProgram().c_str(), 0, size, size, &icon, &id, 1, 0), 1u) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
    BITMAP bitmap{};
    EXPECT_NE(GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap), 0) << size;
    EXPECT_EQ(bitmap.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}
