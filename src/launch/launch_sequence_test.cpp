#include "launch/launch_sequence.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform_fake.h"
#include "test_files.h"

namespace {

constexpr std::uint32_t kElevationRequired = 740;
constexpr std::uint32_t kCancelled = 1223;
constexpr std::uint16_t kShowNormal = 1;
constexpr std::uint16_t kShowMinNoActive = 7;

// Runs the launcher with `argumentTail` after the launcher's DLL search was
// narrowed with SetDefaultDllDirectories.
LaunchStatus RunNarrowed(WideText argumentTail) {
  return RunLauncher(std::move(argumentTail), DllSearch::kSystem32Only);
}

}  // namespace

class RunLauncherTest : public testing::Test {
 protected:
  // Installs viewer.ini with `bytes` in a bin directory, makes the raw command
  // line the quoted launcher path followed by `arguments`, and the module path
  // that of bin\viewer.exe.
  void Install(std::string_view bytes, std::u16string_view arguments = u"") {
    std::filesystem::create_directories(scratch_.path / "bin");
    configPath_ = WriteFileBytes(scratch_.path / "bin" / "viewer.ini", bytes);
    binDirectory_ = WindowsForm(scratch_.path / "bin");
    root_ = WindowsForm(scratch_.path);
    Reset(QuotedViewer(arguments));
  }

  void Reset(WideText rawCommandLine) {
    ResetFakePlatform(std::move(rawCommandLine));
    SetModulePath(Viewer());
  }

  WideText Viewer() const { return binDirectory_ + u"\\viewer.exe"; }
  // The launcher's path quoted, then `arguments`.
  WideText QuotedViewer(std::u16string_view arguments) const {
    WideText commandLine = u"\"" + binDirectory_ + u"\\viewer.exe\"";
    commandLine += arguments;
    return commandLine;
  }

  ScratchDirectory scratch_;
  WideText configPath_;
  WideText binDirectory_;
  WideText root_;
};

TEST_F(RunLauncherTest, StartsTheExpandedCommandInTheLauncherDirectory) {
  Install("[..]\\rt\\app.exe -home [.]\r\nignored\r\n", u" one \"two three\"");

  EXPECT_EQ(RunNarrowed(u"one \"two three\""), LaunchStatus::kApplicationStarted);

  const WideText commandLine =
      root_ + u"\\rt\\app.exe -home " + binDirectory_ + u" one \"two three\"";
  EXPECT_EQ(RecordedStarts(),
            (std::vector<RecordedStart>{{commandLine, binDirectory_, std::nullopt}}));
  EXPECT_TRUE(RecordedMessages().empty());
  // Started by its full path, the launcher does not look its module up.
  EXPECT_EQ(RecordedCalls(), std::vector<std::string>{"StartApplication"});

  // The show state its own creator asked for, and only that, goes on.
  Reset(QuotedViewer(u" one \"two three\""));
  SetRequestedShowState(kShowMinNoActive);
  EXPECT_EQ(RunNarrowed(u"one \"two three\""), LaunchStatus::kApplicationStarted);
  EXPECT_EQ(RecordedStarts(),
            (std::vector<RecordedStart>{{commandLine, binDirectory_, kShowMinNoActive}}));
}

TEST_F(RunLauncherTest, NamedWithoutABackslashPathFindsItselfByItsModule) {
  Install("[..]\\rt\\app.exe -home [.]");
  const WideText started = root_ + u"\\rt\\app.exe -home " + binDirectory_ + u" one";
  // The config file of "viewer.exe" in the current directory, and that of
  // "C:/Prod/bin/viewer.exe", would not do: the module path is taken.
  const WideText changed[] = {
      u"viewer one",
      u"\"viewer\" one",
      u"VIEWER one",
      u"\"" + binDirectory_ + u"\\viewer\" one",
      u"viewer.exe one",
      binDirectory_ + u"/viewer.exe one",
      u"bin/viewer.exe one",
  };
  for (const WideText& rawCommandLine : changed) {
    SCOPED_TRACE(testing::PrintToString(rawCommandLine));
    Reset(rawCommandLine);
    EXPECT_EQ(RunNarrowed(u"one"), LaunchStatus::kApplicationStarted);
    EXPECT_EQ(RecordedStarts(),
              (std::vector<RecordedStart>{{started, binDirectory_, std::nullopt}}));
    EXPECT_EQ(RecordedCalls(),
              (std::vector<std::string>{"LauncherModulePath", "StartApplication"}));
  }

  // A path that names the launcher after a backslash is used as it stands,
  // without a look at the module, even where the module is elsewhere.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch_.path);
  const struct {
    WideText rawCommandLine;
    WideText started;
    WideText directory;
  } unchanged[] = {
      {QuotedViewer(u" one"), started, binDirectory_},
      {u"bin\\viewer.exe one", u"\\rt\\app.exe -home bin one", u"bin"},
      {u".\\bin\\viewer.exe one", u".\\rt\\app.exe -home .\\bin one", u".\\bin"},
  };
  for (const auto& c : unchanged) {
    SCOPED_TRACE(testing::PrintToString(c.rawCommandLine));
    Reset(c.rawCommandLine);
    SetModulePath(root_ + u"\\elsewhere\\viewer.exe");
    EXPECT_EQ(RunNarrowed(u"one"), LaunchStatus::kApplicationStarted);
    EXPECT_EQ(RecordedStarts(),
              (std::vector<RecordedStart>{{c.started, c.directory, std::nullopt}}));
    EXPECT_EQ(RecordedCalls(), std::vector<std::string>{"StartApplication"});
  }
  std::filesystem::current_path(previous);
}

TEST_F(RunLauncherTest, ShowsOneMessagePerFailureBeforeStarting) {
  Install("");
  const WideText missingConfig = binDirectory_ + u"\\other.ini";
  const struct {
    WideText rawCommandLine;
    std::optional<WideText> modulePath;
    WideText message;
  } cases[] = {
      // A token that names another program, or no program at all.
      {u"\"C:\\Tools\\other\" x.ex", Viewer(),
       u"Cannot find an EXE in the command line \"C:\\Tools\\other\" x.ex"},
      {u" x", Viewer(), u"Cannot find an EXE in the command line  x"},
      // The module path cannot be had.
      {u"viewer x", std::nullopt, u"Cannot find an EXE in the command line viewer x"},
      {u"\"" + binDirectory_ + u"\\other.exe\" x", Viewer(),
       u"Unable to find the configuration file '" + missingConfig + u"'."},
      {u"\"" + binDirectory_ + u"\\viewer.exe\"", Viewer(),
       u"The configuration file '" + configPath_ + u"' is empty."},
      {u"viewer", Viewer(), u"The configuration file '" + configPath_ + u"' is empty."},
  };
  for (const auto& c : cases) {
    ResetFakePlatform(c.rawCommandLine);
    SetModulePath(c.modulePath);
    EXPECT_EQ(RunNarrowed(u"x"), LaunchStatus::kErrorShown);
    EXPECT_EQ(RecordedMessages(), std::vector<WideText>{c.message});
    EXPECT_TRUE(RecordedStarts().empty());
  }
}

TEST_F(RunLauncherTest, ReportsAFailedStartWithTheWholeCommandLine) {
  Install("[.]\\missing.exe -x");
  const WideText commandLine = binDirectory_ + u"\\missing.exe -x a \"b c\"";
  const struct {
    std::uint32_t systemError;
    WideText message;
  } cases[] = {
      {2, u"Unable to find the application '" + commandLine + u"'"},
      {5, u"System error #5 while starting the application '" + commandLine + u"'"},
      {193, u"System error #193 while starting the application '" + commandLine + u"'"},
      {267, u"System error #267 while starting the application '" + commandLine + u"'"},
      // Only the shell's answer to an elevation prompt goes without a box.
      {kCancelled, u"System error #1223 while starting the application '" + commandLine + u"'"},
      {4294967295u,
       u"System error #4294967295 while starting the application '" + commandLine + u"'"},
      // A failure whose code reads 0 is still a failure.
      {0, u"System error #0 while starting the application '" + commandLine + u"'"},
  };
  for (const auto& c : cases) {
    Install("[.]\\missing.exe -x", u" a \"b c\"");
    FailStartsWith(c.systemError);
    EXPECT_EQ(RunNarrowed(u"a \"b c\""), LaunchStatus::kErrorShown);
    EXPECT_EQ(RecordedMessages(), std::vector<WideText>{c.message});
    EXPECT_EQ(RecordedStarts().size(), 1u);
    EXPECT_TRUE(RecordedShellStarts().empty());
  }
}

TEST_F(RunLauncherTest, ApplicationNeedingElevationIsStartedThroughTheShell) {
  Install("");
  const WideText app = root_ + u"\\rt\\app.exe";
  const struct {
    std::string_view commandTemplate;
    std::optional<std::uint16_t> showState;
    std::optional<std::uint32_t> shellError;
    std::optional<RecordedShellStart> shellStart;
    LaunchStatus status;
    std::u16string_view message;  // followed by the command line and "'"
  } cases[] = {
      {"\"[..]\\rt\\app.exe\" -home \"[.]\"", kShowMinNoActive, std::nullopt,
       RecordedShellStart{app, u"-home \"" + binDirectory_ + u"\" one", binDirectory_,
                          kShowMinNoActive},
       LaunchStatus::kApplicationStarted, u""},
      {"[..]\\rt\\app.exe  -x", std::nullopt, std::nullopt,
       RecordedShellStart{app, u" -x one", binDirectory_, kShowNormal},
       LaunchStatus::kApplicationStarted, u""},
      // The user declined the prompt: no box.
      {"\"[..]\\rt\\app.exe\"", std::nullopt, kCancelled,
       RecordedShellStart{app, u"one", binDirectory_, kShowNormal},
       LaunchStatus::kElevationDeclined, u""},
      {"\"[..]\\rt\\app.exe\"", std::nullopt, 2,
       RecordedShellStart{app, u"one", binDirectory_, kShowNormal}, LaunchStatus::kErrorShown,
       u"Unable to find the application '"},
      {"\"[..]\\rt\\app.exe\"", std::nullopt, 5,
       RecordedShellStart{app, u"one", binDirectory_, kShowNormal}, LaunchStatus::kErrorShown,
       u"System error #5 while starting the application '"},
      // Unquoted with a space: the token is not the program CreateProcessW ran.
      {"[..]\\Prod Files\\app.exe", std::nullopt, std::nullopt, std::nullopt,
       LaunchStatus::kErrorShown, u"System error #740 while starting the application '"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.commandTemplate));
    Install(c.commandTemplate, u" one");
    FailStartsWith(kElevationRequired);
    SetRequestedShowState(c.showState);
    if (c.shellError) FailShellStartsWith(*c.shellError);

    EXPECT_EQ(RunNarrowed(u"one"), c.status);

    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedShellStarts(), c.shellStart ? std::vector<RecordedShellStart>{*c.shellStart}
                                                  : std::vector<RecordedShellStart>{});
    std::vector<WideText> messages;
    if (!c.message.empty())
      messages.push_back(WideText(c.message) + RecordedStarts()[0].commandLine + u"'");
    EXPECT_EQ(RecordedMessages(), messages);
  }
}

TEST_F(RunLauncherTest, ApplicationDoesNotInheritTheEmptyDllDirectory) {
  Install("\"[..]\\rt\\app.exe\"");
  EXPECT_EQ(RunLauncher(u"", DllSearch::kNoCurrentDirectory), LaunchStatus::kApplicationStarted);
  EXPECT_EQ(RecordedCalls(),
            (std::vector<std::string>{"RestoreDefaultDllDirectory", "StartApplication",
                                      "ExcludeCurrentDirectoryFromDllSearch"}));

  // The shell runs in the launcher, under its narrowed search.
  Install("\"[..]\\rt\\app.exe\"");
  FailStartsWith(kElevationRequired);
  EXPECT_EQ(RunLauncher(u"", DllSearch::kNoCurrentDirectory), LaunchStatus::kApplicationStarted);
  EXPECT_EQ(RecordedCalls(),
            (std::vector<std::string>{"RestoreDefaultDllDirectory", "StartApplication",
                                      "ExcludeCurrentDirectoryFromDllSearch",
                                      "StartThroughShell"}));
}

TEST_F(RunLauncherTest, AnotherProgramNamedByBareNameLeavesTheDirectoryEmpty) {
  Install("[..]\\app.exe [.]");
  WriteFileBytes(scratch_.path / "bin" / "other.ini", "[..]\\app.exe [.]");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch_.path / "bin");
  Reset(u"other.exe");
  const LaunchStatus status = RunNarrowed(u"");
  std::filesystem::current_path(previous);

  EXPECT_EQ(status, LaunchStatus::kApplicationStarted);
  EXPECT_EQ(RecordedStarts(),
            (std::vector<RecordedStart>{{u"[..]\\app.exe [.]", u"", std::nullopt}}));
}

TEST_F(RunLauncherTest, PassesNonAsciiTextThrough) {
  Install("\xEF\xBB\xBF[.]\\app.exe -name Zo\xC3\xAB \xE6\x97\xA5", u" \u00E9");
  EXPECT_EQ(RunNarrowed(u"\u00E9"), LaunchStatus::kApplicationStarted);
  ASSERT_EQ(RecordedStarts().size(), 1u);
  EXPECT_EQ(RecordedStarts()[0].commandLine,
            binDirectory_ + u"\\app.exe -name Zo\u00EB \u65E5 \u00E9");
}
