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
  EXPECT_EQ(RecordedStarts(), (std::vector<RecordedStart>{{commandLine, binDirectory_, {}}}));
  EXPECT_TRUE(RecordedMessages().empty());
  // Started by its full path, the launcher does not look its module up.
  EXPECT_EQ(RecordedCalls(), std::vector<std::string>{"StartApplication"});
}

TEST_F(RunLauncherTest, PassesOnTheShowStateShortcutIdentityAndHotKeyOnly) {
  Install("[.]\\app.exe");
  constexpr std::uint32_t kForceOnFeedback = 0x40;
  constexpr std::uintptr_t kControlShiftV = 0x0356;
  const WideText link = u"C:\\Users\\max\\Desktop\\Viewer.lnk";
  const WideText appId = u"Vandrel.Viewer";
  const struct {
    StartupRequest own;
    StartupRequest passed;
  } cases[] = {
      {{kStartUseShowWindow | kForceOnFeedback, kShowMinNoActive, link, 0},
       {kStartUseShowWindow, kShowMinNoActive, u"", 0}},
      {{kStartTitleIsLinkName | kStartUseHotKey, 0, link, kControlShiftV},
       {kStartTitleIsLinkName | kStartUseHotKey, 0, link, kControlShiftV}},
      {{kStartTitleIsAppId | kStartPreventPinning | kStartUntrustedSource, 0, appId, 0},
       {kStartTitleIsAppId | kStartPreventPinning | kStartUntrustedSource, 0, appId, 0}},
      // Pinning is prevented only for an AppUserModelID, and a link name wins.
      {{kStartTitleIsLinkName | kStartTitleIsAppId | kStartPreventPinning, 0, link, 0},
       {kStartTitleIsLinkName, 0, link, 0}},
      {{kStartPreventPinning, 0, link, 0}, {}},
      // Without a title there is no identity; with standard handles,
      // hStdInput holds a handle, not a hot key.
      {{kStartTitleIsLinkName, 0, u"", 0}, {}},
      {{kStartUseHotKey | kStartUseStdHandles, 0, u"", 0x44}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.own.flags));
    Reset(QuotedViewer(u""));
    SetOwnStartup(c.own);
    EXPECT_EQ(RunNarrowed(u""), LaunchStatus::kApplicationStarted);
    EXPECT_EQ(RecordedStarts(), (std::vector<RecordedStart>{
                                    {binDirectory_ + u"\\app.exe", binDirectory_, c.passed}}));
  }
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
              (std::vector<RecordedStart>{{started, binDirectory_, {}}}));
    EXPECT_EQ(RecordedCalls(),
              (std::vector<std::string>{"LauncherModulePath", "StartApplication"}));
  }

  // A path that names the launcher after a backslash is used, made absolute
  // where it is relative, even where the module is elsewhere; a quoted one
  // without a look at the module, and without the dots and spaces that end its
  // file name.
  const WideText named[] = {QuotedViewer(u" one"), Viewer().insert(0, 1, u'"') + u". \" one",
                            u"bin\\viewer.exe one", u"..\\bin\\viewer.exe one"};
  for (const WideText& rawCommandLine : named) {
    SCOPED_TRACE(testing::PrintToString(rawCommandLine));
    Reset(rawCommandLine);
    SetFullPathName(u"bin\\viewer.exe", Viewer());
    SetFullPathName(u"..\\bin\\viewer.exe", Viewer());
    SetModulePath(root_ + u"\\elsewhere\\viewer.exe");
    EXPECT_EQ(RunNarrowed(u"one"), LaunchStatus::kApplicationStarted);
    EXPECT_EQ(RecordedStarts(), (std::vector<RecordedStart>{{started, binDirectory_, {}}}));
    if (rawCommandLine.front() == u'"') {
      EXPECT_EQ(RecordedCalls(), std::vector<std::string>{"StartApplication"});
    }
  }
}

TEST_F(RunLauncherTest, UnquotedPathWithSpacesForwardsOnlyWhatFollowsIt) {
  // ".exe" in a folder name, and a first word that names the launcher
  // ("...\Viewer" for viewer.exe), come before the blank where its name ends.
  const std::filesystem::path bin = scratch_.path / "max.exeter" / "Viewer 2" / "bin";
  std::filesystem::create_directories(bin);
  WriteFileBytes(bin / "viewer.ini", "[.]\\app.exe");
  const WideText viewer = WindowsForm(bin / "viewer.exe");
  for (const std::u16string_view arguments : {u"", u" one  \"two\""}) {
    ResetFakePlatform(viewer + WideText(arguments));
    SetModulePath(viewer);
    // What the runtime's own split would hand over: from "2" on.
    EXPECT_EQ(RunNarrowed(u"2\\bin\\viewer.exe" + WideText(arguments)),
              LaunchStatus::kApplicationStarted);
    const WideText forwarded = arguments.empty() ? u"" : u" one  \"two\"";
    EXPECT_EQ(RecordedStarts(),
              (std::vector<RecordedStart>{
                  {WindowsForm(bin / "app.exe") + forwarded, WindowsForm(bin), {}}}));
  }
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
      // A quoted token that does not end in ".exe" names no launcher, whatever
      // its arguments hold.
      {u"\"C:\\Tools\\other\" x.exe", Viewer(),
       u"Cannot find an EXE in the command line \"C:\\Tools\\other\" x.exe"},
      // A quote names no file: the path stays as written, not made absolute.
      {u" \"C:\\Tools\\viewer.exe\" x", Viewer(),
       u"Unable to find the configuration file ' \"C:\\Tools\\viewer.ini'."},
      // An absolute path keeps its spelling, and "\\?\" is kept to open the file.
      {u"C:\\Nowhere\\\\bin\\viewer.exe x", Viewer(),
       u"Unable to find the configuration file 'C:\\Nowhere\\\\bin\\viewer.ini'."},
      // One with a "/" is named in its canonical form.
      {u"C:/Nowhere/bin\\viewer.exe x", Viewer(),
       u"Unable to find the configuration file 'C:\\Nowhere\\bin\\viewer.ini'."},
      {u"\"\\\\?\\C:\\Nowhere\\viewer.exe\" x", Viewer(),
       u"Unable to find the configuration file '\\\\?\\C:\\Nowhere\\viewer.ini'."},
      // A relative path is named in its absolute form.
      {u"other.exe x", Viewer(),
       u"Unable to find the configuration file '" + missingConfig + u"'."},
  };
  for (const auto& c : cases) {
    ResetFakePlatform(c.rawCommandLine);
    SetModulePath(c.modulePath);
    SetFullPathName(u"other.exe", binDirectory_ + u"\\other.exe");
    SetFullPathName(u" \"C:\\Tools\\viewer.exe", u"C:\\cwd\\ \"C:\\Tools\\viewer.exe");
    SetFullPathName(u"C:\\Nowhere\\\\bin\\viewer.exe", u"C:\\Nowhere\\bin\\viewer.exe");
    SetFullPathName(u"C:/Nowhere/bin\\viewer.exe", u"C:\\Nowhere\\bin\\viewer.exe");
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
  const WideText spaced = root_ + u"\\Prod Files\\app.exe";
  // A pinned shortcut's start with a hot key: the shell has no field for the
  // link's path, but takes the show state and the hot key.
  constexpr std::uint32_t kControlShiftV = 0x0356;
  const StartupRequest shortcut{kStartUseShowWindow | kStartUseHotKey | kStartTitleIsLinkName,
                                kShowMinNoActive, u"C:\\Users\\max\\Desktop\\Viewer.lnk",
                                kControlShiftV};
  const struct {
    std::string_view commandTemplate;
    bool fromShortcut;
    std::optional<std::uint32_t> shellError;
    RecordedShellStart shellStart;
    LaunchStatus status;
    std::u16string_view message;  // followed by the command line and "'"
  } cases[] = {
      {"\"[..]\\rt\\app.exe\" -home \"[.]\"", true, std::nullopt,
       RecordedShellStart{app, u"-home \"" + binDirectory_ + u"\" one", binDirectory_,
                          kShowMinNoActive, kControlShiftV},
       LaunchStatus::kApplicationStarted, u""},
      {"[..]\\rt\\app.exe  -x", false, std::nullopt,
       RecordedShellStart{app, u" -x one", binDirectory_, kShowNormal, std::nullopt},
       LaunchStatus::kApplicationStarted, u""},
      // The user declined the prompt: no box.
      {"\"[..]\\rt\\app.exe\"", false, kCancelled,
       RecordedShellStart{app, u"one", binDirectory_, kShowNormal, std::nullopt},
       LaunchStatus::kElevationDeclined, u""},
      {"\"[..]\\rt\\app.exe\"", false, 2,
       RecordedShellStart{app, u"one", binDirectory_, kShowNormal, std::nullopt},
       LaunchStatus::kErrorShown,
       u"Unable to find the application '"},
      {"\"[..]\\rt\\app.exe\"", false, 5,
       RecordedShellStart{app, u"one", binDirectory_, kShowNormal, std::nullopt},
       LaunchStatus::kErrorShown,
       u"System error #5 while starting the application '"},
      // Unquoted with a space: the file CreateProcessW found.
      {"[..]\\Prod Files\\app.exe", false, std::nullopt,
       RecordedShellStart{spaced, u"one", binDirectory_, kShowNormal, std::nullopt},
       LaunchStatus::kApplicationStarted, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.commandTemplate));
    Install(c.commandTemplate, u" one");
    FailStartsWith(kElevationRequired);
    if (c.fromShortcut) SetOwnStartup(shortcut);
    SetProgramFile(spaced, spaced);
    if (c.shellError) FailShellStartsWith(*c.shellError);

    EXPECT_EQ(RunNarrowed(u"one"), c.status);

    ASSERT_EQ(RecordedStarts().size(), 1u);
    EXPECT_EQ(RecordedShellStarts(), std::vector<RecordedShellStart>{c.shellStart});
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

TEST_F(RunLauncherTest, AnotherProgramNamedByBareNameIsFoundInTheCurrentDirectory) {
  Install("[..]\\app.exe [.]");
  WriteFileBytes(scratch_.path / "bin" / "other.ini", "[..]\\app.exe [.]");
  Reset(u"other.exe");
  SetFullPathName(u"other.exe", binDirectory_ + u"\\other.exe");
  EXPECT_EQ(RunNarrowed(u""), LaunchStatus::kApplicationStarted);
  EXPECT_EQ(RecordedStarts(), (std::vector<RecordedStart>{
                                  {root_ + u"\\app.exe " + binDirectory_, binDirectory_, {}}}));

  // Without its full path, the name is all there is: the placeholders stay.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch_.path / "bin");
  Reset(u"other.exe");
  SetFullPathName(u"other.exe", std::nullopt);
  const LaunchStatus status = RunNarrowed(u"");
  std::filesystem::current_path(previous);

  EXPECT_EQ(status, LaunchStatus::kApplicationStarted);
  EXPECT_EQ(RecordedStarts(),
            (std::vector<RecordedStart>{{u"[..]\\app.exe [.]", u"", {}}}));
}

TEST_F(RunLauncherTest, ShortFileNameReadsTheLongNamesIni) {
  Install("[.]\\app.exe");
  WriteFileBytes(scratch_.path / "bin" / "viewer-tool.ini", "[..]\\tool.exe [.]");
  const WideText shortName = binDirectory_ + u"\\VIEW~1JR.EXE";
  // Every folder re-cased, as Wine's GetLongPathNameW does: only the file
  // name is taken.
  WideText recased = binDirectory_;
  for (char16_t& unit : recased) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  const struct {
    WideText rawCommandLine;
    WideText longPath;
    WideText message;  // empty: started
  } cases[] = {
      {u"\"" + shortName + u"\" one", recased + u"\\viewer-tool.exe", u""},
      {u"\"" + binDirectory_ + u"\\OTHER~1.EXE\"", binDirectory_ + u"\\other~1.exe",
       u"Unable to find the configuration file '" + binDirectory_ + u"\\OTHER~1.ini'."},
      {u"\"" + binDirectory_ + u"\\TOOL~1.EXE\"", binDirectory_ + u"\\tool.com",
       u"Unable to find the configuration file '" + binDirectory_ + u"\\TOOL~1.ini'."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.rawCommandLine));
    Reset(c.rawCommandLine);
    SetLongPathName(c.rawCommandLine.substr(1, c.rawCommandLine.find(u'"', 1) - 1), c.longPath);
    const LaunchStatus status = RunNarrowed(u"one");
    EXPECT_EQ(RecordedMessages(),
              c.message.empty() ? std::vector<WideText>{} : std::vector<WideText>{c.message});
    if (!c.message.empty()) continue;
    EXPECT_EQ(status, LaunchStatus::kApplicationStarted);
    EXPECT_EQ(RecordedStarts(),
              (std::vector<RecordedStart>{
                  {root_ + u"\\tool.exe " + binDirectory_ + u" one", binDirectory_, {}}}));
  }
}

TEST(PlaceholderPath, DropsTheLongPathPrefixWhereThePlainPathIsTheSame) {
  ResetFakePlatform(u"");
  SetFullPathName(u"C:\\Prod\\bin.\\viewer.ini", u"C:\\Prod\\bin\\viewer.ini");
  const struct {
    WideText configPath;
    WideText placeholderPath;
  } cases[] = {
      {u"\\\\?\\C:\\Prod\\bin\\viewer.ini", u"C:\\Prod\\bin\\viewer.ini"},
      // "UNC" in any letter case.
      {u"\\\\?\\unc\\server\\share\\viewer.ini", u"\\\\server\\share\\viewer.ini"},
      // A trailing dot is a name of its own only after "\\?\".
      {u"\\\\?\\C:\\Prod\\bin.\\viewer.ini", u"\\\\?\\C:\\Prod\\bin.\\viewer.ini"},
      {u"\\\\.\\C:\\Prod\\bin\\viewer.ini", u"\\\\.\\C:\\Prod\\bin\\viewer.ini"},
  };
  for (const auto& c : cases) EXPECT_EQ(PlaceholderPath(c.configPath), c.placeholderPath);
}

TEST_F(RunLauncherTest, PassesNonAsciiTextThrough) {
  Install("\xEF\xBB\xBF[.]\\app.exe -name Zo\xC3\xAB \xE6\x97\xA5", u" \u00E9");
  EXPECT_EQ(RunNarrowed(u"\u00E9"), LaunchStatus::kApplicationStarted);
  ASSERT_EQ(RecordedStarts().size(), 1u);
  EXPECT_EQ(RecordedStarts()[0].commandLine,
            binDirectory_ + u"\\app.exe -name Zo\u00EB \u65E5 \u00E9");
}
