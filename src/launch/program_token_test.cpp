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
