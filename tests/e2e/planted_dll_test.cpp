// A DLL planted beside the launcher is not loaded into it, not even one that
// Windows' own code loads by name while the launcher shows its error box.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "launch/dll_search_win32.h"

namespace {

// USER32 loads it by name to draw the error box.
constexpr wchar_t kLoadedByName[] = L"uxtheme.dll";

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Environment(const wchar_t* name) {
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length < 4096 ? std::wstring(value, length) : std::wstring();
}

}  // namespace

TEST(PlantedDll, IsNotLoadedIntoTheLauncher) {
  const std::wstring root = MakeScratchDirectory();
  ASSERT_FALSE(root.empty());
  const std::wstring bin = root + L"\\bin";
  const std::wstring launcher = bin + L"\\viewer.exe";
  const std::wstring planted = bin + L"\\" + kLoadedByName;
  ASSERT_TRUE(CopyInto(LauncherProgram(), launcher));
  ASSERT_TRUE(CopyInto(BesideThisProgram(L"planted_dll.dll"), planted));
  ASSERT_TRUE(CopyInto(BesideThisProgram(L"planted_dll.dll"), bin + L"\\control.dll"));

  // The evidence works: a DLL that is loaded leaves it.
  EXPECT_EQ(LoadLibraryW((bin + L"\\control.dll").c_str()), nullptr);
  EXPECT_TRUE(Exists(bin + L"\\control.dll.loaded"));

  // Wine prefers its built-in DLLs; have it look on the search path first, as
  // Windows does for a DLL that is not one of its known DLLs.
  const std::wstring overrides = Environment(L"WINEDLLOVERRIDES");
  const std::wstring nativeFirst = std::wstring(L"uxtheme=n,b");
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES",
                          (overrides.empty() ? nativeFirst : overrides + L";" + nativeFirst).c_str());
  // Without a configuration file the launcher shows its box, which stays up
  // until the launcher has loaded the DLL.
  const LaunchOutcome outcome =
      RunLauncherProcess(launcher, L"\"" + launcher + L"\"", bin, kLoadedByName);
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides.empty() ? nullptr : overrides.c_str());

  EXPECT_EQ(outcome.exitCode, 1u);
  EXPECT_EQ(outcome.boxes.size(), 1u);
  EXPECT_FALSE(Exists(planted + L".loaded"));
  EXPECT_NE(outcome.awaitedModulePath, L"") << "the launcher never loaded " << kLoadedByName;
  EXPECT_NE(outcome.awaitedModulePath, planted);
  RemoveTree(root);
}

TEST(PlantedDll, SearchIsNarrowedWhereSetDefaultDllDirectoriesIsMissing) {
  // This program's own module exports no SetDefaultDllDirectories, as KERNEL32
  // of a Windows without the update does not. The DLL directory set first
  // must be replaced by the empty one, which takes the current directory out
  // of the search on Windows (Wine 8 keeps searching it all the same).
  wchar_t system[MAX_PATH];
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  ASSERT_TRUE(SetDllDirectoryW(system));
  EXPECT_EQ(LimitDllSearch(GetModuleHandleW(nullptr)), DllSearch::kNoCurrentDirectory);
  wchar_t directory[MAX_PATH] = L"unread";
  EXPECT_EQ(GetDllDirectoryW(MAX_PATH, directory), 0u);
  EXPECT_EQ(std::wstring(directory), L"");

  // The box's USER32 still loads, by its full path.
  const HMODULE user32 = LoadUser32();
  EXPECT_NE(user32, nullptr);
  EXPECT_EQ(user32, GetModuleHandleW(L"user32.dll"));
  SetDllDirectoryW(nullptr);
}
