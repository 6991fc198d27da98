#include "launch/config_file.h"

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"
#include "utf8_encoding.h"

namespace {

WideText PathOrFailure(const Outcome<WideText>& outcome) {
  if (const auto* path = std::get_if<WideText>(&outcome)) return *path;
  return u"<failure>";
}

}  // namespace

TEST(ConfigPathFor, PutsIniInPlaceOfTheExeKeepingTheCase) {
  EXPECT_EQ(ConfigPathFor(u"C:\\Tools\\VIEWER.EXE"), u"C:\\Tools\\VIEWER.ini");
  EXPECT_EQ(ConfigPathFor(u"C:\\a.exe.d\\viewer.Exe.exe"), u"C:\\a.exe.d\\viewer.Exe.ini");
}

class ReadCommandTemplateTest : public testing::Test {
 protected:
  Outcome<WideText> ReadFrom(std::string_view bytes) {
    return ReadCommandTemplate(WriteFileBytes(scratch_.path / "viewer.ini", bytes));
  }
  ScratchDirectory scratch_;
};

TEST_F(ReadCommandTemplateTest, MissingOrBlankFileFails) {
  EXPECT_EQ(ReadCommandTemplate(WindowsForm(scratch_.path / "absent.ini")),
            Outcome<WideText>(LaunchFailure::kConfigNotFound));
  // Empty, a first line that is empty or only blanks, or only a byte-order mark.
  const std::string_view blanks[] = {
      "", "\n[..]\\app.exe", " \t \r\napp.exe", "\xEF\xBB\xBF", "\xFF\xFE",
      std::string_view("\xFE\xFF\0 \0\t\0\n\0x", 9), std::string_view("\0app.exe", 8)};
  for (const std::string_view bytes : blanks) {
    EXPECT_EQ(ReadFrom(bytes), Outcome<WideText>(LaunchFailure::kConfigEmpty)) << bytes;
  }
}

TEST_F(ReadCommandTemplateTest, TakesTheFirstLineWithoutItsEnding) {
  const struct {
    std::string_view bytes;
    const char16_t* commandTemplate;
  } cases[] = {
      {"[..]\\rt\\app.exe -home [.]", u"[..]\\rt\\app.exe -home [.]"},
      {"app.exe\n", u"app.exe"},
      {"app.exe\r\n", u"app.exe"},
      {"app.exe -a\r\nsecond line\r\nthird\r\n", u"app.exe -a"},
      {"app.exe -a\nsecond line\n", u"app.exe -a"},
      {"  \"C:\\My Apps\\app.exe\"  \n", u"  \"C:\\My Apps\\app.exe\"  "},
      // Nothing after a NUL byte could reach the application.
      {std::string_view("app.exe\0junk\nmore", 17), u"app.exe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathOrFailure(ReadFrom(c.bytes)), WideText(c.commandTemplate)) << c.bytes;
  }
}

TEST_F(ReadCommandTemplateTest, DecodesUtf8OrElseTheAnsiCodePage) {
  const struct {
    std::string_view bytes;
    const char16_t* commandTemplate;
  } cases[] = {
      {"\xEF\xBB\xBF" "app.exe\r\n", u"app.exe"},
      {"\xEF\xBB\xBF" "app.exe -name Zo\xC3\xAB", u"app.exe -name Zo\u00EB"},
      {"\xE6\x97\xA5\\app.exe \xF0\x9F\x9A\x80\n", u"\u65E5\\app.exe \U0001F680"},
      {"app.exe -name Zo\xEB\n", u"app.exe -name Zo\u00EB"},
      {"\x80 \xE9t\xE9", u"\u20AC \u00E9t\u00E9"},
      {"\xEF\xBB\xBF" "caf\xE9", u"caf\u00E9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathOrFailure(ReadFrom(c.bytes)), WideText(c.commandTemplate)) << c.bytes;
  }
}

TEST_F(ReadCommandTemplateTest, ReadsUtf16InEitherByteOrder) {
  // U+041A and U+0A0D hold the bytes 1A and 0D 0A, which text mode would take
  // for an end of file and a line end; U+D800 is an unpaired surrogate.
  const std::u16string_view line = u"\"C:\\\u041A\u0A0D \u65E5\U0001F680\\app.exe\" -x \xD800";
  const struct {
    std::u16string_view after;
    std::string_view extraBytes;
  } cases[] = {
      {u"", ""},
      {u"\r\nsecond line\r\n", ""},
      {u"\n", ""},
      {std::u16string_view(u"\0junk", 5), ""},
      {u"", "\x41"},  // an odd last byte
  };
  for (const bool bigEndian : {false, true}) {
    for (const auto& c : cases) {
      const std::string bytes =
          Utf16FileBytes<char16_t>(WideText(line) + WideText(c.after), bigEndian);
      EXPECT_EQ(PathOrFailure(ReadFrom(bytes + std::string(c.extraBytes))), WideText(line))
          << bigEndian << testing::PrintToString(WideText(c.after));
    }
  }
}

TEST_F(ReadCommandTemplateTest, BigFileGivesItsShortFirstLine) {
  std::string bytes = "[..]\\rt\\app.exe -home [.]\r\n";
  bytes.resize(50u << 20, 'x');
  EXPECT_EQ(PathOrFailure(ReadFrom(bytes)), WideText(u"[..]\\rt\\app.exe -home [.]"));
}
