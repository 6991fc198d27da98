#include "launch/program_token.h"

#include <gtest/gtest.h>

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

TEST(TailAfterUnquotedPath, StartsAfterThePathThatNamesTheLauncher) {
  const struct {
    std::u16string_view commandLine;
    std::optional<std::u16string_view> tail;
  } cases[] = {
      {u"C:\\Prod Dir\\bin\\viewer.exe one  \"two\"", u"one  \"two\""},
      {u"C:\\Prod Dir\\bin\\VIEWER.EXE \t one", u"one"},
      {u"C:\\Prod Dir\\bin\\viewer.exe", u""},
      // The runtime's tail is right when the token holds ".exe", names the
      // launcher, or the path names another file.
      {u"C:\\Prod\\bin\\viewer.exe one", std::nullopt},
      {u"C:\\my.exe-files x\\viewer.exe one", std::nullopt},
      {u"viewer C:\\data\\setup.exe", std::nullopt},
      {u"C:\\Prod Dir\\bin\\other.exe one", std::nullopt},
      {u"C:\\Prod Dir\\bin\\my viewer.exe one", std::nullopt},
      {u"\"C:\\Prod Dir\\bin\\viewer.exe\" one", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TailAfterUnquotedPath(c.commandLine, u"viewer.exe"), c.tail)
        << testing::PrintToString(WideText(c.commandLine));
  }
}

TEST(ShellCommandOf, SplitsFileFromParametersWhereCreateProcessDid) {
  const struct {
    std::u16string_view commandLine;
    std::optional<std::u16string_view> file;
    std::u16string_view parameters;
  } cases[] = {
      {u"\"C:\\Program Files\\V\\app.exe\"\t-x  \"y z\"", u"C:\\Program Files\\V\\app.exe",
       u"-x  \"y z\""},
      {u"app", u"app", u""},
      // Unquoted with a space before ".exe": CreateProcessW may have run
      // "C:\Program Files\V\app.exe", which "C:\Program" does not name; and
      // it cannot be told from a program without ".exe" and such an argument.
      {u"C:\\Program Files\\V\\app.exe -x", std::nullopt, u""},
      {u"C:\\V\\app -x file.EXE", std::nullopt, u""},
      {u" app.exe", std::nullopt, u""},
  };
  for (const auto& c : cases) {
    const std::optional<ShellCommand> shell = ShellCommandOf(c.commandLine);
    ASSERT_EQ(shell.has_value(), c.file.has_value());
    if (!shell) continue;
    EXPECT_EQ(shell->file, *c.file);
    EXPECT_EQ(shell->parameters, c.parameters);
  }
}
