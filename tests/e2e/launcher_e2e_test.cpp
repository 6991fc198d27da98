#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "harness.h"
#include "utf8_encoding.h"

namespace {

const std::wstring kCaption = L"Application Launch Error";
constexpr std::string_view kTypicalTemplate = "[..]\\rt\\app.exe -home [.]";

// Each test gets a fresh tree under the temporary directory: by default the
// launcher as <home>\bin\viewer.exe, its configuration <home>\bin\viewer.ini and
// the probe as <home>\rt\app.exe, with <home> the tree's root.
class LauncherEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeScratchDirectory();
    ASSERT_FALSE(root_.empty()) << "cannot make a scratch directory";
    home_ = root_;
  }

  void TearDown() override {
    if (release_ != nullptr) {
      SetEvent(release_);
      CloseHandle(release_);
    }
    RemoveTree(root_);
  }

  std::wstring Bin() const { return home_ + L"\\bin"; }
  std::wstring Viewer() const { return Bin() + L"\\viewer.exe"; }
  std::wstring Config() const { return Bin() + L"\\viewer.ini"; }
  std::wstring App() const { return home_ + L"\\rt\\app.exe"; }

  // Installs launcher and probe; the configuration only when given.
  void Install(std::optional<std::string_view> config) {
    ASSERT_TRUE(CopyInto(LauncherProgram(), Viewer()));
    ASSERT_TRUE(CopyInto(ApplicationProgram(), App()));
    if (config) {
      ASSERT_TRUE(WriteBytes(Config(), *config));
    }
  }

  void WriteConfig(std::string_view bytes) { ASSERT_TRUE(WriteBytes(Config(), bytes)); }

  // Starts the launcher copy at Viewer() with this command line, after removing
  // any record an earlier run of the probe left.
  LaunchOutcome Run(const std::wstring& commandLine, const std::wstring& directory,
                    const LauncherStartup& startup = {}) {
    DeleteFileW(RecordPathOf(App()).c_str());
    return RunLauncherProcess(Viewer(), commandLine, directory, {}, startup);
  }
  LaunchOutcome Run(const std::wstring& commandLine) { return Run(commandLine, Bin()); }

  std::optional<ProbeRecord> Received() const { return WaitForRecord(RecordPathOf(App())); }

  // What the probe recorded, after checking that the launcher reported a
  // successful start; nothing, without waiting for a record, when it did not.
  std::optional<ProbeRecord> ReceivedAfter(const LaunchOutcome& outcome) const {
    ExpectStarted(outcome);
    if (outcome.exitCode != 0) {
      return std::nullopt;
    }
    return Received();
  }

  // Runs the launcher and returns the command line the probe received, after
  // checking that the launcher reported a successful start.
  std::wstring ReceivedCommandLine(const std::wstring& commandLine) {
    const LaunchOutcome outcome = Run(commandLine);
    ExpectStarted(outcome);
    if (outcome.exitCode != 0) {
      return L"<not started>";
    }
    const auto record = Received();
    return record ? record->commandLine : L"<no record>";
  }

  static void ExpectStarted(const LaunchOutcome& outcome) {
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.boxes, std::vector<ShownBox>{});
  }

  static void ExpectOneBox(const LaunchOutcome& outcome, const std::wstring& text) {
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(outcome.boxes, (std::vector<ShownBox>{{kCaption, text, L"error", false}}));
  }

  static std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

  std::wstring root_;
  std::wstring home_;
  HANDLE release_ = nullptr;
};

TEST_F(LauncherEndToEnd, TypicalRunStartsApplicationInLauncherDirectory) {
  Install(kTypicalTemplate);
  ExpectStarted(Run(Quoted(Viewer())));
  const auto record = Received();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->commandLine, root_ + L"\\rt\\app.exe -home " + root_ + L"\\bin");
  EXPECT_EQ(record->directory, root_ + L"\\bin");
  // Nothing passed on but the command line and directory: no show-window
  // request, no title (Windows then gives the program's path), no handles
  // (the launcher itself was offered one), no console.
  EXPECT_EQ(record->startupFlags, 0u);
  EXPECT_EQ(record->showWindow, 0u);
  EXPECT_EQ(record->title, root_ + L"\\rt\\app.exe");
  EXPECT_FALSE(record->inheritedHandle);
  EXPECT_FALSE(record->console);
}

TEST_F(LauncherEndToEnd, ForwardsArgumentsUnchangedAfterOneSpace) {
  Install(kTypicalTemplate);
  const std::wstring expanded = root_ + L"\\rt\\app.exe -home " + root_ + L"\\bin";
  const struct {
    std::wstring commandLine;
    std::wstring received;
  } kCases[] = {
      {Quoted(Viewer()) + L" one \"two three\"", expanded + L" one \"two three\""},
      {Viewer() + L" one", expanded + L" one"},
      // White space between the program and its arguments is not forwarded;
      // white space inside them is.
      {Quoted(Viewer()) + L"   a  \"b  c\" ", expanded + L" a  \"b  c\" "},
      // Placeholders in the launcher's own arguments are substituted too.
      {Viewer() + L" [..]\\data \"[.]\\x y\"",
       expanded + L" " + root_ + L"\\data \"" + root_ + L"\\bin\\x y\""},
  };
  for (const auto& testCase : kCases) {
    SCOPED_TRACE(testing::PrintToString(testCase.commandLine));
    EXPECT_EQ(ReceivedCommandLine(testCase.commandLine), testCase.received);
  }
}

TEST_F(LauncherEndToEnd, StartedByNameOrForwardSlashPathUsesItsOwnPath) {
  // As cmd.exe starts it: the program it found as the application name, the
  // command line as typed, in the console's current folder, here the root,
  // where a decoy viewer.ini must not be read.
  Install(kTypicalTemplate);
  ASSERT_TRUE(WriteBytes(root_ + L"\\viewer.ini", "[.]\\decoy.exe"));
  std::wstring forwardBin = Bin();
  std::replace(forwardBin.begin(), forwardBin.end(), L'\\', L'/');
  const std::wstring kCommandLines[] = {
      L"viewer one",
      L"viewer.exe one",
      L"\"" + Bin() + L"\\viewer\" one",
      forwardBin + L"/viewer.exe one",
      L"bin/viewer.exe one",
  };
  for (const std::wstring& commandLine : kCommandLines) {
    SCOPED_TRACE(testing::PrintToString(commandLine));
    const auto record = ReceivedAfter(Run(commandLine, root_));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->commandLine, root_ + L"\\rt\\app.exe -home " + Bin() + L" one");
    EXPECT_EQ(record->directory, Bin());
  }
}

TEST_F(LauncherEndToEnd, CommandLineNamingAnotherProgramShowsItRaw) {
  Install(kTypicalTemplate);
  const std::wstring commandLine = L"\"" + Bin() + L"\\other\" x";
  ExpectOneBox(Run(commandLine), L"Cannot find an EXE in the command line " + commandLine);
}

TEST_F(LauncherEndToEnd, ConfigurationProblemsNameTheConfigurationPath) {
  Install(std::nullopt);
  ExpectOneBox(Run(Quoted(Viewer()) + L" one"),
               L"Unable to find the configuration file '" + Config() + L"'.");

  // The path is cut at the first ".exe" in any letter case, and keeps its case.
  ExpectOneBox(Run(Bin() + L"\\VIEWER.EXE"),
               L"Unable to find the configuration file '" + Bin() + L"\\VIEWER.ini'.");
  ExpectOneBox(Run(Quoted(Bin() + L"\\viewer.Exe.exe")),
               L"Unable to find the configuration file '" + Bin() + L"\\viewer.Exe.ini'.");

  // Empty, or a first line of nothing but blanks.
  for (const std::string_view blank : {"", " \t\r\n[..]\\rt\\app.exe"}) {
    WriteConfig(blank);
    ExpectOneBox(Run(Quoted(Viewer()) + L" one"),
                 L"The configuration file '" + Config() + L"' is empty.");
  }
}

TEST_F(LauncherEndToEnd, ApplicationFailuresShowWholeExpandedCommandLine) {
  Install("[..]\\rt\\missing.exe -home [.]");
  ExpectOneBox(Run(Quoted(Viewer()) + L" one \"two\""),
               L"Unable to find the application '" + root_ + L"\\rt\\missing.exe -home " + root_ +
                   L"\\bin one \"two\"'");

  ASSERT_TRUE(WriteBytes(root_ + L"\\rt\\notes.exe", "These are notes, not a program.\r\n"));
  WriteConfig("[..]\\rt\\notes.exe -x");
  ExpectOneBox(Run(Quoted(Viewer()) + L" y"),
               L"System error #193 while starting the application '" + root_ +
                   L"\\rt\\notes.exe -x y'");
}

TEST_F(LauncherEndToEnd, BareNameOfAnotherProgramReadsItsIniInTheCurrentDirectory) {
  // Started as "other.exe" from its own directory, which names another
  // program than the launcher: its path is made absolute there, as for any
  // relative start.
  Install(kTypicalTemplate);
  ASSERT_TRUE(WriteBytes(Bin() + L"\\other.ini", kTypicalTemplate));
  const auto record = ReceivedAfter(Run(L"other.exe one"));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->commandLine, root_ + L"\\rt\\app.exe -home " + Bin() + L" one");
  EXPECT_EQ(record->directory, Bin());
}

TEST_F(LauncherEndToEnd, PassesOnTheShowStateAndShortcutIdentityOnly) {
  Install(kTypicalTemplate);
  const std::wstring link = L"C:\\users\\Public\\Desktop\\Viewer.lnk";
  const struct {
    LauncherStartup startup;
    DWORD flags;
    std::wstring title;
  } kCases[] = {
      {{STARTF_USESHOWWINDOW, SW_SHOWMINNOACTIVE, L""}, STARTF_USESHOWWINDOW, App()},
      // A pinned shortcut's start; feedback and a console's fill are the
      // launcher's, not the application's. This Wine passes flags and title
      // on, but no hot key in hStdInput.
      {{STARTF_TITLEISLINKNAME | STARTF_USESHOWWINDOW | STARTF_USEHOTKEY | STARTF_UNTRUSTEDSOURCE |
            STARTF_FORCEOFFFEEDBACK | STARTF_USEFILLATTRIBUTE,
        SW_SHOWMINNOACTIVE, link},
       STARTF_TITLEISLINKNAME | STARTF_USESHOWWINDOW | STARTF_USEHOTKEY | STARTF_UNTRUSTEDSOURCE,
       link},
  };
  for (const auto& testCase : kCases) {
    SCOPED_TRACE(testCase.flags);
    const auto record = ReceivedAfter(Run(Quoted(Viewer()), Bin(), testCase.startup));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->startupFlags, testCase.flags);
    EXPECT_EQ(record->showWindow, static_cast<DWORD>(SW_SHOWMINNOACTIVE));
    EXPECT_EQ(record->title, testCase.title);
  }
}

TEST_F(LauncherEndToEnd, TemplateIsFirstLineWithoutItsEnding) {
  Install(std::nullopt);
  const std::wstring received =
      root_ + L"\\rt\\app.exe -home " + root_ + L"\\bin one \"two three\"";
  const std::string_view kConfigs[] = {
      "[..]\\rt\\app.exe -home [.]\r\nsecond line\r\n",
      "[..]\\rt\\app.exe -home [.]\nsecond line\n",
      "[..]\\rt\\app.exe -home [.]\r\n",
      "[..]\\rt\\app.exe -home [.]\n",
      "[..]\\rt\\app.exe -home [.]\r\n\r\n\r\n[..]\\rt\\other.exe\r\n",
  };
  for (const std::string_view config : kConfigs) {
    SCOPED_TRACE(testing::PrintToString(config));
    WriteConfig(config);
    EXPECT_EQ(ReceivedCommandLine(Quoted(Viewer()) + L" one \"two three\""), received);
  }
}

TEST_F(LauncherEndToEnd, DecodesTemplateAsUtf8OrElseAnsi) {
  Install(std::nullopt);
  const std::string kUtf8Text = "-name Zo\xC3\xAB \xE4\xB8\xAD";  // "Zoë 中"
  const std::wstring program = root_ + L"\\rt\\app.exe ";
  ASSERT_EQ(GetACP(), 1252u) << "the expectations below assume code page 1252";
  const struct {
    std::string config;
    std::wstring received;
  } kCases[] = {
      {"[..]\\rt\\app.exe " + kUtf8Text, program + L"-name Zo\u00EB \u4E2D"},
      {"\xEF\xBB\xBF[..]\\rt\\app.exe " + kUtf8Text + "\r\n", program + L"-name Zo\u00EB \u4E2D"},
      {"[..]\\rt\\app.exe -name Zo\xE9", program + L"-name Zo\u00E9"},
      // One invalid byte makes the whole line ANSI text.
      {"[..]\\rt\\app.exe -name Zo\xC3\xAB Zo\xE9", program + L"-name Zo\u00C3\u00AB Zo\u00E9"},
  };
  for (const auto& testCase : kCases) {
    SCOPED_TRACE(testing::PrintToString(testCase.config));
    WriteConfig(testCase.config);
    EXPECT_EQ(ReceivedCommandLine(Quoted(Viewer())), testCase.received);
  }
}

TEST_F(LauncherEndToEnd, ReadsUtf16ConfigurationInEitherByteOrder) {
  home_ = root_ + L"\\\u041A\u00E9 \u4E2D";
  Install(std::nullopt);
  // The runtime's text mode would read the file wrong: U+041A holds the byte
  // 1A, an end of file to it, and U+0A0D (little-endian) and U+0D0A
  // (big-endian) hold 0D 0A in one code unit, which it would read as one byte.
  const std::wstring_view config =
      L"\"[..]\\rt\\app.exe\" -name Zo\u00EB \u0A0D\u0D0A \u041A\r\nsecond line\r\n";
  for (const bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    WriteConfig(Utf16FileBytes(config, bigEndian));
    EXPECT_EQ(ReceivedCommandLine(Quoted(Viewer()) + L" \u00E9 \"a b\""),
              Quoted(home_ + L"\\rt\\app.exe") +
                  L" -name Zo\u00EB \u0A0D\u0D0A \u041A \u00E9 \"a b\"");
  }
}

TEST_F(LauncherEndToEnd, ApplicationNeedingElevationIsStartedThroughTheShell) {
  // A build of the launcher whose CreateProcessW reports that the application
  // needs elevation, as Windows does for a manifest that requires
  // administrator rights; the shell it then uses starts the probe.
  const std::wstring home = root_ + L"\\Prog \u00E9";
  home_ = home;
  ASSERT_TRUE(CopyInto(BesideThisProgram(L"launcher_elevation_required.exe"), Viewer()));
  ASSERT_TRUE(CopyInto(ApplicationProgram(), App()));
  const struct {
    std::string_view config;
    LauncherStartup startup;
    std::wstring received;  // the probe's command line, or the box's text
    DWORD showState;
  } kCases[] = {
      {"\"[..]\\rt\\app.exe\" -home \"[.]\"", {STARTF_USESHOWWINDOW, SW_SHOWMINNOACTIVE, L""},
       Quoted(App()) + L" -home " + Quoted(Bin()) + L" one  \"two three\"", SW_SHOWMINNOACTIVE},
      {"\"[..]\\rt\\app.exe\"", {}, Quoted(App()) + L" one  \"two three\"",
       SW_SHOWNORMAL},
      {"\"[..]\\rt\\missing.exe\" -x", {},
       L"Unable to find the application '" + Quoted(home + L"\\rt\\missing.exe") +
           L" -x one  \"two three\"'", 0},
      // Unquoted, with a space in its path: the file CreateProcessW found.
      {"[..]\\rt\\app.exe -x", {}, Quoted(App()) + L" -x one  \"two three\"", SW_SHOWNORMAL},
  };
  for (const auto& testCase : kCases) {
    SCOPED_TRACE(testing::PrintToString(testCase.config));
    WriteConfig(testCase.config);
    const LaunchOutcome outcome =
        Run(Quoted(Viewer()) + L" one  \"two three\"", Bin(), testCase.startup);
    if (testCase.showState == 0) {
      ExpectOneBox(outcome, testCase.received);
      continue;
    }
    const auto record = ReceivedAfter(outcome);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->commandLine, testCase.received);
    EXPECT_EQ(record->directory, Bin());
    EXPECT_EQ(record->startupFlags, static_cast<DWORD>(STARTF_USESHOWWINDOW));
    EXPECT_EQ(record->showWindow, testCase.showState);
  }
}

TEST_F(LauncherEndToEnd, RunsFromUnusualInstallationDirectories) {
  const std::wstring kHomes[] = {
      root_ + L"\\Prog \u00E9 \u00FC \u4E2D",
      // A directory name holding a placeholder is inserted once, not expanded again.
      root_ + L"\\w[.]",
  };
  for (const std::wstring& home : kHomes) {
    SCOPED_TRACE(testing::PrintToString(home));
    home_ = home;
    Install("\"[..]\\rt\\app.exe\" -home \"[.]\"");
    ExpectStarted(Run(Quoted(Viewer()) + L" \u00E9"));
    const auto record = Received();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->commandLine,
              Quoted(home + L"\\rt\\app.exe") + L" -home " + Quoted(home + L"\\bin") + L" \u00E9");
    EXPECT_EQ(record->directory, home + L"\\bin");

    DeleteFileW(Config().c_str());
    ExpectOneBox(Run(Quoted(Viewer())),
                 L"Unable to find the configuration file '" + Config() + L"'.");
  }
}

TEST_F(LauncherEndToEnd, FindsItselfAsTheFileSystemDoes) {
  // Each start names the launcher at <home>\bin\viewer.exe in another way; a
  // decoy configuration waits where a cut at the first ".exe" would look.
  home_ = root_ + L"\\Prod Dir\\my.exe-files";
  Install("\"[..]\\rt\\app.exe\" -home \"[.]\"");
  ASSERT_TRUE(WriteBytes(root_ + L"\\Prod Dir\\my.ini", "\"[.]\\decoy.exe\""));
  const std::wstring started = Quoted(App()) + L" -home " + Quoted(Bin());
  const struct {
    std::wstring commandLine;
    std::wstring directory;
    std::wstring received;
  } kCases[] = {
      // Relative starts, from the launcher's folder, its parent (a doubled
      // backslash collapsed) and a sibling.
      {L".\\viewer.exe one", Bin(), started + L" one"},
      {L"bin\\\\viewer.exe one", home_, started + L" one"},
      {L"..\\bin\\viewer.exe one", home_ + L"\\rt", started + L" one"},
      // Unquoted, as Task Scheduler and Run keys write it: only what follows
      // the path is forwarded.
      {Viewer() + L" one  \"two\"", root_, started + L" one  \"two\""},
      {Viewer(), root_, started},
      // "\\?\" opens the file, but no application is given it.
      {Quoted(L"\\\\?\\" + Viewer()) + L" one", root_, started + L" one"},
  };
  for (const auto& testCase : kCases) {
    SCOPED_TRACE(testing::PrintToString(testCase.commandLine));
    const auto record = ReceivedAfter(Run(testCase.commandLine, testCase.directory));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->commandLine, testCase.received);
    EXPECT_EQ(record->directory, Bin());
  }
}

TEST_F(LauncherEndToEnd, EndsItsNameWhereWindowsEndedIt) {
  // As a Run key, Task Scheduler or a script names the launcher, given to
  // CreateProcessW as the program too, so that Wine passes the command line
  // as it is.
  const std::wstring users = root_ + L"\\max.exeter\\Vandrel Viewer";
  const std::wstring games = root_ + L"\\Viewer 2";
  const std::wstring prod = root_ + L"\\Prod";
  std::wstring forwardBin = prod + L"\\bin";
  std::replace(forwardBin.begin(), forwardBin.end(), L'\\', L'/');
  const std::wstring arguments = L" one  \"two\"";
  const struct {
    std::wstring home;
    std::wstring commandLine;
  } kCases[] = {
      // Unquoted, under a folder whose name holds ".exe".
      {users, users + L"\\bin\\viewer.exe" + arguments},
      // Unquoted, in a folder whose first word is the launcher's own name.
      {games, games + L"\\bin\\viewer.exe" + arguments},
      // A dot or a space after ".exe", which Windows drops.
      {prod, Quoted(prod + L"\\bin\\viewer.exe.") + arguments},
      {prod, Quoted(prod + L"\\bin\\viewer.exe ") + arguments},
      // Forward slashes in its folders.
      {prod, forwardBin + L"\\viewer.exe" + arguments},
  };
  for (const auto& testCase : kCases) {
    SCOPED_TRACE(testing::PrintToString(testCase.commandLine));
    home_ = testCase.home;
    Install("\"[..]\\rt\\app.exe\" -home \"[.]\"");
    // A failed start or a missing record is reported by ReceivedAfter.
    const auto record = ReceivedAfter(Run(testCase.commandLine, root_));
    if (!record) continue;
    EXPECT_EQ(record->commandLine, Quoted(App()) + L" -home " + Quoted(Bin()) + arguments);
    EXPECT_EQ(record->directory, Bin());
  }
}

TEST_F(LauncherEndToEnd, StartedByItsShortNameReadsTheLongNamesIni) {
  Install(std::nullopt);
  const std::wstring tool = Bin() + L"\\viewer-tool.exe";
  ASSERT_TRUE(CopyInto(LauncherProgram(), tool));
  ASSERT_TRUE(WriteBytes(Bin() + L"\\viewer-tool.ini", kTypicalTemplate));
  wchar_t shortPath[MAX_PATH];
  const DWORD length = GetShortPathNameW(tool.c_str(), shortPath, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH);
  const std::wstring shortName = std::filesystem::path(shortPath).filename().wstring();
  // A volume that makes no 8.3 names (fsutil 8dot3name) gives the long name.
  if (shortName == L"viewer-tool.exe") {
    GTEST_SKIP() << "the volume makes no short names: " << testing::PrintToString(tool);
  }
  // Typed in another case than stored, the folder stays as typed.
  const std::wstring typedBin = home_ + L"\\BIN";
  const auto record =
      ReceivedAfter(RunLauncherProcess(tool, typedBin + L"\\" + shortName + L" one", root_));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->commandLine, root_ + L"\\rt\\app.exe -home " + typedBin + L" one");
}

TEST_F(LauncherEndToEnd, AtTheRootOfADriveStartsTheApplicationInTheRoot) {
  // Started from C:\windows, where "C:" alone would take the application.
  const std::wstring name = L"C:\\launcher-e2e-" + std::to_wstring(GetCurrentProcessId());
  Install(std::nullopt);
  ASSERT_TRUE(CopyInto(LauncherProgram(), name + L".exe"));
  ASSERT_TRUE(WriteBytes(name + L".ini", Utf8(Quoted(App())) + " -home \"[.]\" -up \"[..]\""));
  const auto record =
      ReceivedAfter(RunLauncherProcess(name + L".exe", Quoted(name + L".exe"), L"C:\\windows"));
  DeleteFileW((name + L".exe").c_str());
  DeleteFileW((name + L".ini").c_str());
  ASSERT_TRUE(record);
  EXPECT_EQ(record->commandLine, Quoted(App()) + L" -home \"C:\" -up \"\"");
  EXPECT_EQ(record->directory, L"C:\\");
}

TEST_F(LauncherEndToEnd, ReadsTheIniThatAnotherProgramHoldsOpen) {
  // As an editor or a sync client holds it: writing and deleting, sharing all.
  Install(kTypicalTemplate);
  const HANDLE held = CreateFileW(Config().c_str(), GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::wstring received = ReceivedCommandLine(Quoted(Viewer()) + L" one");
  CloseHandle(held);
  EXPECT_EQ(received, root_ + L"\\rt\\app.exe -home " + Bin() + L" one");
}

TEST_F(LauncherEndToEnd, DoesNotWaitForApplication) {
  const std::wstring eventName =
      L"launcher-e2e-release-" + std::to_wstring(GetCurrentProcessId());
  release_ = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
  ASSERT_NE(release_, nullptr);
  Install("[..]\\rt\\app.exe --hold=" + Utf8(eventName));

  ExpectStarted(Run(Quoted(Viewer())));
  const auto record = Received();
  ASSERT_TRUE(record);
  const HANDLE probe = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                   record->processId);
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(WaitForSingleObject(probe, 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the application ended before it was released";

  SetEvent(release_);
  EXPECT_EQ(WaitForSingleObject(probe, 30'000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD probeExit = 99;
  GetExitCodeProcess(probe, &probeExit);
  EXPECT_EQ(probeExit, 0u);
  CloseHandle(probe);
}

TEST_F(LauncherEndToEnd, ApplicationThatFailsAtOnceStillCountsAsStarted) {
  Install("[..]\\rt\\app.exe --exit-at-once");

  // The probe itself, started directly, does fail.
  const LaunchOutcome direct = RunLauncherProcess(App(), Quoted(App()) + L" --exit-at-once", Bin());
  EXPECT_EQ(direct.exitCode, 3u);

  ExpectStarted(Run(Quoted(Viewer())));
  const auto record = Received();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->commandLine, root_ + L"\\rt\\app.exe --exit-at-once");
}

TEST_F(LauncherEndToEnd, LargeConfigurationFileIsReadOnlyToItsFirstLine) {
  constexpr size_t kLargeSize = 50u << 20;
  constexpr std::uint64_t kAllowedGrowth = 4u << 20;
  std::string filler;
  while (filler.size() < kLargeSize) {
    filler += "a further line that the launcher never needs to read\r\n";
  }
  Install(std::string(kTypicalTemplate) + "\r\n" + filler);
  EXPECT_EQ(ReceivedCommandLine(Quoted(Viewer()) + L" one"),
            root_ + L"\\rt\\app.exe -home " + root_ + L"\\bin one");

  // Memory is measured while the launcher shows a box: Wine reports no
  // reliable figures for a process that has already exited.
  constexpr std::string_view kMissingApplication = "[..]\\rt\\missing.exe\r\n";
  WriteConfig(kMissingApplication);
  const std::wstring message = L"Unable to find the application '" + root_ + L"\\rt\\missing.exe'";
  const LaunchOutcome small = Run(Quoted(Viewer()));
  ExpectOneBox(small, message);
  WriteConfig(std::string(kMissingApplication) + filler);
  const LaunchOutcome large = Run(Quoted(Viewer()));
  ExpectOneBox(large, message);
  ASSERT_GT(small.peakWorkingSetAtBox, 0u) << "no working set reported for the launcher";
  EXPECT_LT(large.peakWorkingSetAtBox, small.peakWorkingSetAtBox + kAllowedGrowth)
      << "tiny file: " << small.peakWorkingSetAtBox;
  std::printf("peak working set at the box: %llu bytes with a tiny file, %llu with 50 MB\n",
              static_cast<unsigned long long>(small.peakWorkingSetAtBox),
              static_cast<unsigned long long>(large.peakWorkingSetAtBox));
}

}  // namespace

