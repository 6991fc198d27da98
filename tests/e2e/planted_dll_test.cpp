// A DLL planted beside the launcher is not loaded into it, not even one that
// Windows' own code loads by name while the launcher shows its error box.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "harness.h"

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

// RunLauncherProcess with Wine told to prefer a DLL of that name found on the
// search path over its built-in one, as Windows does for a DLL that is not one
// of its known DLLs.
LaunchOutcome RunPreferringNative(std::wstring_view dllName, const std::wstring& program,
                                  const std::wstring& commandLine, const std::wstring& directory,
                                  std::wstring_view awaitModule = {}) {
  const std::wstring overrides = Environment(L"WINEDLLOVERRIDES");
  const std::wstring nativeFirst = std::wstring(dllName) + L"=n,b";
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES",
                          (overrides.empty() ? nativeFirst : overrides + L";" + nativeFirst).c_str());
  const LaunchOutcome outcome = RunLauncherProcess(program, commandLine, directory, awaitModule);
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides.empty() ? nullptr : overrides.c_str());
  return outcome;
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

  // Without a configuration file the launcher shows its box, which stays up
  // until the launcher has loaded the DLL.
  const LaunchOutcome outcome =
      RunPreferringNative(L"uxtheme", launcher, L"\"" + launcher + L"\"", bin, kLoadedByName);

  EXPECT_EQ(outcome.exitCode, 1u);
  EXPECT_EQ(outcome.boxes.size(), 1u);
  EXPECT_FALSE(Exists(planted + L".loaded"));
  EXPECT_NE(outcome.awaitedModulePath, L"") << "the launcher never loaded " << kLoadedByName;
  EXPECT_NE(outcome.awaitedModulePath, planted);
  RemoveTree(root);
}

TEST(PlantedDll, SearchIsNarrowedWhereSetDefaultDllDirectoriesIsMissing) {
  // In a process of its own that has not loaded USER32 (this one has), beside
  // and in the current directory of a planted user32.dll: the empty DLL
  // directory must replace the one set before, and USER32 must come from
  // System32 (Wine 8 keeps searching the current directory all the same).
  const std::wstring root = MakeScratchDirectory();
  ASSERT_FALSE(root.empty());
  const std::wstring probe = root + L"\\dll_search_probe.exe";
  const std::wstring planted = root + L"\\user32.dll";
  ASSERT_TRUE(CopyInto(BesideThisProgram(L"dll_search_probe.exe"), probe));
  ASSERT_TRUE(CopyInto(BesideThisProgram(L"planted_dll.dll"), planted));

  const LaunchOutcome outcome = RunPreferringNative(L"user32", probe, L"\"" + probe + L"\"", root);

  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.exitCode, 0u) << "see dll_search_probe.cpp for the check that failed";
  EXPECT_FALSE(Exists(planted + L".loaded"));
  RemoveTree(root);
}
