#include "launch/program_token.h"

#include <gtest/gtest.h>

#include "platform_fake.h"

TEST(SplitProgramToken, ReadsTheProgramAsWindowsDoes) {
  const struct {
    std::u16string_view commandLine;
    std::u16string_view program;
    bool quoted;
    std::u16string_view rest;
  } cases[] = {
      {u"viewer one", u"viewer", false, u"one"},
      {u"viewer\tone", u"viewer", false, u"one"},
      {u"\"C:\\Prod Files\\viewer.exe\" one  \"two\"", u"C:\\Prod Files\\viewer.exe", true,
       u"one  \"two\""},
      // One separator goes, the others stay the arguments'.
      {u"app.exe   x", u"app.exe", false, u"  x"},
      {u"\"app\"x y", u"app", true, u"x y"},
      {u"\"C:\\unclosed x", u"C:\\unclosed x", true, u""},
      {u"\"\" x", u"", true, u"x"},
      {u" only arguments", u"", false, u"only arguments"},
      {u"", u"", false, u""},
  };
  for (const auto& c : cases) {
    const ProgramToken token = SplitProgramToken(c.commandLine);
    EXPECT_EQ(token.program, c.program);
    EXPECT_EQ(token.quoted, c.quoted);
    EXPECT_EQ(token.rest, c.rest);
  }
}

TEST(ExePathNamedIn, TakesTheExeThatEndsTheFileName) {
  const struct {
    std::u16string_view commandLine;
    std::optional<std::u16string_view> path;
  } cases[] = {
      {u"C:\\Tools\\viewer.exe", u"C:\\Tools\\viewer.exe"},
      {u"\"C:\\Tools\\VIEWER.EXE\" one \"two\"", u"C:\\Tools\\VIEWER.EXE"},
      {u"\"C:\\Program Files\\Vandrel\\view.ExE\"", u"C:\\Program Files\\Vandrel\\view.ExE"},
      // ".exe" inside a folder or file name does not end it.
      {u"D:\\a.exe.d\\tool.exe", u"D:\\a.exe.d\\tool.exe"},
      {u"C:\\Users\\max.exeter\\bin\\notes.exe x.exe", u"C:\\Users\\max.exeter\\bin\\notes.exe"},
      {u"\"C:\\Tools\\viewer.Exe.exe\" x", u"C:\\Tools\\viewer.Exe.exe"},
      // Unquoted, a path with spaces is taken whole, up to a quote too.
      {u"C:\\Prod Dir\\bin\\viewer.exe one", u"C:\\Prod Dir\\bin\\viewer.exe"},
      {u" \"C:\\Tools\\viewer.exe\"", u" \"C:\\Tools\\viewer.exe"},
      {u"C:\\Tools\\viewer --open file.exe", u"C:\\Tools\\viewer --open file.exe"},
      {u"\"C:\\x.exe", u"C:\\x.exe"},
      // Windows drops the dots and spaces that end a file name.
      {u"\"C:\\Tools\\viewer.exe. .\" x", u"C:\\Tools\\viewer.exe"},
      // U+0145 and U+0158 end in the bytes of 'E' and 'X': folding must look at
      // whole code units, or ".\u0145\u0158\u0145" would pass for ".exe".
      {u"C:\\a.\u0145\u0158\u0145\\b.exe", u"C:\\a.\u0145\u0158\u0145\\b.exe"},
      // A quoted token must end in ".exe"; one in the arguments does not count.
      {u"\"C:\\Tools\\viewer\" x.exe", std::nullopt},
      {u"\"C:\\a.exe.d\\tool\"", std::nullopt},
      {u"\"\"C:\\x.exe", std::nullopt},
      {u"C:\\a.exe.d\\tool", std::nullopt},
      {u"a.\u0145\u0158\u0145", std::nullopt},
      {u"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExePathNamedIn(c.commandLine), c.path)
        << testing::PrintToString(WideText(c.commandLine));
  }
}

TEST(EndOfOwnName, EndsAtTheFirstBlankWhereThePrefixIsTheModule) {
  const WideText module = u"C:\\Users\\max.exeter\\Viewer 2\\bin\\viewer.exe";
  const struct {
    std::u16string_view commandLine;
    std::optional<std::u16string_view> name;
  } cases[] = {
      // Neither ".exe" in a folder name nor a first word that names the
      // launcher ("C:\Users\max.exeter\Viewer", as viewer.exe) ends it.
      {u"C:\\Users\\max.exeter\\Viewer 2\\bin\\viewer.exe one two",
       u"C:\\Users\\max.exeter\\Viewer 2\\bin\\viewer.exe"},
      {u"c:\\users\\MAX.EXETER\\Viewer 2\\bin\\VIEWER\t",
       u"c:\\users\\MAX.EXETER\\Viewer 2\\bin\\VIEWER"},
      // The dots and spaces that end a file name are dropped.
      {u"C:\\Users\\max.exeter\\Viewer 2\\bin\\viewer.exe. x",
       u"C:\\Users\\max.exeter\\Viewer 2\\bin\\viewer.exe."},
      // Relative, or with "/": as FullPathName reads it (scripted below).
      {u"bin\\viewer.exe one", u"bin\\viewer.exe"},
      {u"C:/Users/max.exeter/Viewer 2/bin\\viewer.exe one",
       u"C:/Users/max.exeter/Viewer 2/bin\\viewer.exe"},
      {u"..\\..\\Viewer 2\\bin\\viewer.exe", u"..\\..\\Viewer 2\\bin\\viewer.exe"},
      // A near miss: the same file name in other folders, before the
      // launcher's path, which then is no longer the text before the blank.
      {u"D:\\Viewer 2\\bin\\viewer.exe C:\\Users\\max.exeter\\Viewer 2\\bin\\viewer.exe x",
       std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(WideText(c.commandLine)));
    ResetFakePlatform(u"");
    SetFullPathName(u"bin\\viewer.exe", module);
    SetFullPathName(u"C:/Users/max.exeter/Viewer 2/bin\\viewer.exe", module);
    SetFullPathName(u"..\\..\\Viewer 2\\bin\\viewer.exe", module);
    const std::optional<std::size_t> end = EndOfOwnName(c.commandLine, module);
    ASSERT_EQ(end.has_value(), c.name.has_value());
    if (end) {
      EXPECT_EQ(c.commandLine.substr(0, *end), *c.name);
    }
  }
  EXPECT_EQ(ProgramPathOf(u"C:\\P\\viewer.exe. ."), u"C:\\P\\viewer.exe");
  EXPECT_EQ(ProgramPathOf(u"C:\\P.d\\viewer"), u"C:\\P.d\\viewer.exe");
}

TEST(ShellCommandOf, SplitsFileFromParametersWhereCreateProcessFoundIt) {
  const struct {
    std::u16string_view commandLine;
    std::optional<std::u16string_view> file;
    std::u16string_view parameters;
  } cases[] = {
      {u"\"C:\\Program Files\\V\\app.exe\"\t-x  \"y z\"", u"C:\\Program Files\\V\\app.exe",
       u"-x  \"y z\""},
      // The first text before a blank that names a file, as it was found.
      {u"C:\\Users\\max.exeter\\My Apps\\admin.exe  /x",
       u"C:\\Users\\max.exeter\\My Apps\\admin.exe", u" /x"},
      {u"C:\\Tools\\setup /log C:\\logs\\setup.exe.log", u"C:\\Tools\\setup.exe",
       u"/log C:\\logs\\setup.exe.log"},
      // No text names a file: the first blank ends it.
      {u"C:\\V\\gone.exe -x", u"C:\\V\\gone.exe", u"-x"},
      {u" app.exe", std::nullopt, u""},
  };
  ResetFakePlatform(u"");
  SetProgramFile(u"C:\\Users\\max.exeter\\My Apps\\admin.exe",
                 u"C:\\Users\\max.exeter\\My Apps\\admin.exe");
  SetProgramFile(u"C:\\Tools\\setup", u"C:\\Tools\\setup.exe");
  SetProgramFile(u"C:\\Tools\\setup /log C:\\logs\\setup.exe.log", u"C:\\logs\\later.exe");
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(WideText(c.commandLine)));
    const std::optional<ShellCommand> shell = ShellCommandOf(c.commandLine);
    ASSERT_EQ(shell.has_value(), c.file.has_value());
    if (!shell) continue;
    EXPECT_EQ(shell->file, *c.file);
    EXPECT_EQ(shell->parameters, c.parameters);
  }
}
