#include "launch/expansion.h"

#include <gtest/gtest.h>

TEST(ExpandCommandLine, SubstitutesTheLauncherDirectoryAndItsParent) {
  const struct {
    const char16_t* commandTemplate;
    const char16_t* argumentTail;
    const char16_t* configPath;
    const char16_t* commandLine;
    const char16_t* currentDirectory;
  } cases[] = {
      {u"[..]\\rt\\app.exe -home [.]\\data", u"", u"C:\\Prod\\bin\\viewer.ini",
       u"C:\\Prod\\rt\\app.exe -home C:\\Prod\\bin\\data", u"C:\\Prod\\bin"},
      // Drive root: the parent is empty, and the application starts in the
      // root, not in the drive's current directory.
      {u"[..]\\x [.]\\y", u"", u"C:\\viewer.ini", u"\\x C:\\y", u"C:\\"},
      // Relative start: the directory is relative, the parent empty.
      {u"[..]\\rt\\app.exe -home [.]", u"", u"bin\\viewer.ini", u"\\rt\\app.exe -home bin", u"bin"},
      {u"[..]\\rt [.]", u"", u"\\\\server\\share\\app\\viewer.ini",
       u"\\\\server\\share\\rt \\\\server\\share\\app", u"\\\\server\\share\\app"},
      // At the root of a share or volume, ".." is that root.
      {u"[..]\\rt", u"", u"\\\\nas\\stick\\viewer.ini", u"\\\\nas\\stick\\rt", u"\\\\nas\\stick"},
      {u"[..]\\rt", u"", u"\\\\?\\unc\\nas\\stick\\viewer.ini", u"\\\\?\\unc\\nas\\stick\\rt",
       u"\\\\?\\unc\\nas\\stick"},
      {u"[..]\\rt", u"", u"\\\\?\\Volume{d1e5}\\viewer.ini", u"\\\\?\\Volume{d1e5}\\rt",
       u"\\\\?\\Volume{d1e5}"},
      {u"[..]\\rt", u"", u"\\\\.\\pipe\\viewer.ini", u"\\\\.\\rt", u"\\\\.\\pipe"},
      // A doubled backslash leaves one at the end of the directory.
      {u"[.]|[..]", u"", u"C:\\Prod\\\\viewer.ini", u"C:\\Prod\\|C:\\Prod", u"C:\\Prod\\"},
      // Inside quotes and words, every occurrence; spaced forms are text.
      {u"\"[.]\\my app.exe\" x[.]y [..][.] [ . ] [ .. ] [.[..]]", u"", u"C:\\P\\bin\\v.ini",
       u"\"C:\\P\\bin\\my app.exe\" xC:\\P\\biny C:\\PC:\\P\\bin [ . ] [ .. ] [.C:\\P]",
       u"C:\\P\\bin"},
      {u"[..]\\x", u"", u"C:\\\u00C9t\u00E9 \u65E5\\bin\\v.ini", u"C:\\\u00C9t\u00E9 \u65E5\\x",
       u"C:\\\u00C9t\u00E9 \u65E5\\bin"},
  };
  for (const auto& c : cases) {
    const ExpandedCommand expanded =
        ExpandCommandLine(c.commandTemplate, c.argumentTail, c.configPath);
    EXPECT_EQ(expanded.commandLine, WideText(c.commandLine)) << testing::PrintToString(WideText(c.configPath));
    EXPECT_EQ(expanded.currentDirectory, WideText(c.currentDirectory)) << testing::PrintToString(WideText(c.configPath));
  }
}

TEST(ExpandCommandLine, AppendsTheArgumentTailBeforeSubstituting) {
  const WideText config = u"C:\\Prod\\bin\\viewer.ini";
  EXPECT_EQ(ExpandCommandLine(u"app.exe", u"", config).commandLine, u"app.exe");
  EXPECT_EQ(ExpandCommandLine(u"app.exe ", u"", config).commandLine, u"app.exe ");
  EXPECT_EQ(ExpandCommandLine(u"app.exe", u"one \"two three\"  \"", config).commandLine,
            u"app.exe one \"two three\"  \"");
  EXPECT_EQ(ExpandCommandLine(u"app.exe", u"[.]\\f \"[..]\"", config).commandLine,
            u"app.exe C:\\Prod\\bin\\f \"C:\\Prod\"");
}

TEST(ExpandCommandLine, LeavesPlaceholdersWithoutABackslashInThePath) {
  for (const char16_t* configPath : {u"viewer.ini", u"C:/Prod/bin/viewer.ini", u""}) {
    const ExpandedCommand expanded = ExpandCommandLine(u"[..]\\app.exe [.]", u"a [.]", configPath);
    EXPECT_EQ(expanded.commandLine, u"[..]\\app.exe [.] a [.]");
    EXPECT_EQ(expanded.currentDirectory, u"");
  }
}

TEST(ExpandCommandLine, EndsWhenDirectoryNamesHoldPlaceholders) {
  // "[.]" inserted by the first pass is not searched again; "[..]" brought in
  // by the directory name is, because the second pass runs over the first's
  // result.
  EXPECT_EQ(ExpandCommandLine(u"[.]\\x", u"", u"C:\\a[.]b\\v.ini").commandLine, u"C:\\a[.]b\\x");
  EXPECT_EQ(ExpandCommandLine(u"[.]", u"", u"C:\\p[..]q\\bin\\v.ini").commandLine,
            u"C:\\pC:\\p[..]qq\\bin");
  EXPECT_EQ(ExpandCommandLine(u"[..]", u"", u"C:\\[..]\\v.ini").commandLine, u"C:");
}

TEST(ReplaceAll, ReplacesLeftToRightOnce) {
  EXPECT_EQ(ReplaceAll(u"a[.]b[.]", u"[.]", u"x[.]y"), u"ax[.]ybx[.]y");
  EXPECT_EQ(ReplaceAll(u"aaa", u"aa", u"b"), u"ba");
  EXPECT_EQ(ReplaceAll(u"[.]", u"[.]", u""), u"");
  EXPECT_EQ(ReplaceAll(u"none", u"[.]", u"x"), u"none");
  EXPECT_EQ(ReplaceAll(u"abc", u"", u"x"), u"abc");
  EXPECT_EQ(ReplaceAll(WideText(u"a\0[.]", 5), u"[.]", u"d"), WideText(u"a\0d", 3));
}

TEST(ReplaceAll, HandlesA32KTailOfPlaceholders) {
  WideText tail;
  while (tail.size() + 7 <= 32767) tail += u"[.][..]";
  const std::size_t pairs = tail.size() / 7;
  // The replacements hold both patterns again; neither is searched twice.
  const WideText once = ReplaceAll(tail, u"[.]", u"d[.]");
  EXPECT_EQ(once.size(), pairs * 8);
  EXPECT_EQ(ReplaceAll(once, u"[..]", u"p[..]").size(), pairs * 9);
}

TEST(ParentDirectory, CutsAtTheLastBackslash) {
  EXPECT_EQ(ParentDirectory(u"C:\\Prod\\bin"), u"C:\\Prod");
  EXPECT_EQ(ParentDirectory(u"C:"), u"");
  EXPECT_EQ(ParentDirectory(u"\\\\server\\share\\app"), u"\\\\server\\share");
  EXPECT_EQ(ParentDirectory(u"\\"), u"");
  EXPECT_EQ(ParentDirectory(u""), u"");
}
