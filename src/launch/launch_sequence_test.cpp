#include "launch/launch_sequence.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform_fake.h"
#include "test_files.h"

class RunLauncherTest : public testing::Test {
 protected:
  // Installs viewer.ini with `bytes` in a bin directory and makes the raw
  // command line the quoted launcher path followed by `arguments`.
  void Install(std::string_view bytes, std::u16string_view arguments = u"") {
    std::filesystem::create_directories(scratch_.path / "bin");
    configPath_ = WriteFileBytes(scratch_.path / "bin" / "viewer.ini", bytes);
    binDirectory_ = WindowsForm(scratch_.path / "bin");
    root_ = WindowsForm(scratch_.path);
    ResetFakePlatform(u"\"" + binDirectory_ + u"\\viewer.exe\"" + WideText(arguments));
  }

  ScratchDirectory scratch_;
  WideText configPath_;
  WideText binDirectory_;
  WideText root_;
};

TEST_F(RunLauncherTest, StartsTheExpandedCommandInTheLauncherDirectory) {
  Install("[..]\\rt\\app.exe -home [.]\r\nignored\r\n", u" one \"two three\"");

  EXPECT_EQ(RunLauncher(u"one \"two three\""), LaunchStatus::kApplicationStarted);

  ASSERT_EQ(RecordedStarts().size(), 1u);
  EXPECT_EQ(RecordedStarts()[0].commandLine,
            root_ + u"\\rt\\app.exe -home " + binDirectory_ + u" one \"two three\"");
  EXPECT_EQ(RecordedStarts()[0].directory, binDirectory_);
  EXPECT_TRUE(RecordedMessages().empty());
}

TEST_F(RunLauncherTest, ShowsOneMessagePerFailureBeforeStarting) {
  Install("");
  const WideText missingConfig = binDirectory_ + u"\\other.ini";
  const struct {
    WideText rawCommandLine;
    WideText message;
  } cases[] = {
      {u"\"C:\\Tools\\viewer\" x.ex",
       u"Cannot find an EXE in the command line \"C:\\Tools\\viewer\" x.ex"},
      {u"\"" + binDirectory_ + u"\\other.exe\" x",
       u"Unable to find the configuration file '" + missingConfig + u"'."},
      {u"\"" + binDirectory_ + u"\\viewer.exe\"",
       u"The configuration file '" + configPath_ + u"' is empty."},
  };
  for (const auto& c : cases) {
    ResetFakePlatform(c.rawCommandLine);
    EXPECT_EQ(RunLauncher(u"x"), LaunchStatus::kErrorShown);
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
      {4294967295u,
       u"System error #4294967295 while starting the application '" + commandLine + u"'"},
      // A failure whose code reads 0 is still a failure.
      {0, u"System error #0 while starting the application '" + commandLine + u"'"},
  };
  for (const auto& c : cases) {
    Install("[.]\\missing.exe -x", u" a \"b c\"");
    FailStartsWith(c.systemError);
    EXPECT_EQ(RunLauncher(u"a \"b c\""), LaunchStatus::kErrorShown);
    EXPECT_EQ(RecordedMessages(), std::vector<WideText>{c.message});
    EXPECT_EQ(RecordedStarts().size(), 1u);
  }
}

TEST_F(RunLauncherTest, StartedByBareNameLeavesTheDirectoryEmpty) {
  Install("[..]\\app.exe [.]");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch_.path / "bin");
  ResetFakePlatform(u"viewer.exe");
  const LaunchStatus status = RunLauncher(u"");
  std::filesystem::current_path(previous);

  EXPECT_EQ(status, LaunchStatus::kApplicationStarted);
  ASSERT_EQ(RecordedStarts().size(), 1u);
  EXPECT_EQ(RecordedStarts()[0].commandLine, u"[..]\\app.exe [.]");
  EXPECT_EQ(RecordedStarts()[0].directory, u"");
}

TEST_F(RunLauncherTest, PassesNonAsciiTextThrough) {
  Install("\xEF\xBB\xBF[.]\\app.exe -name Zo\xC3\xAB \xE6\x97\xA5", u" \u00E9");
  EXPECT_EQ(RunLauncher(u"\u00E9"), LaunchStatus::kApplicationStarted);
  ASSERT_EQ(RecordedStarts().size(), 1u);
  EXPECT_EQ(RecordedStarts()[0].commandLine,
            binDirectory_ + u"\\app.exe -name Zo\u00EB \u65E5 \u00E9");
}
