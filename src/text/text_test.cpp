#include "text/text.h"

#include <gtest/gtest.h>

TEST(TextSearch, NotFoundIsDistinctFromEveryPosition) {
  EXPECT_EQ(FindFirst(u".exe at start", u".exe"), std::optional<std::size_t>(0));
  EXPECT_EQ(FindFirst(u"a.exe b.exe", u".exe", 2), std::optional<std::size_t>(7));
  EXPECT_EQ(FindFirst(u"a.EXE", u".exe"), std::nullopt);
  EXPECT_EQ(FindFirst(u"abc", u""), std::nullopt);
  EXPECT_EQ(FindFirst(u"abc", u"c", 3), std::nullopt);

  EXPECT_EQ(FindLast(u"\\", u'\\'), std::optional<std::size_t>(0));
  EXPECT_EQ(FindLast(u"C:\\a\\b", u'\\'), std::optional<std::size_t>(4));
  EXPECT_EQ(FindLast(u"C:/a/b", u'\\'), std::nullopt);
}

TEST(DecodeUtf8, AcceptsWellFormedText) {
  EXPECT_EQ(DecodeUtf8(""), WideText());
  EXPECT_EQ(DecodeUtf8("app.exe -x"), WideText(u"app.exe -x"));
  EXPECT_EQ(DecodeUtf8("Zo\xC3\xAB"), WideText(u"Zo\u00EB"));
  EXPECT_EQ(DecodeUtf8("\xE6\x97\xA5"), WideText(u"\u65E5"));
  EXPECT_EQ(DecodeUtf8("\xF0\x9F\x9A\x80"), WideText(u"\U0001F680"));
  EXPECT_EQ(DecodeUtf8("\xF4\x8F\xBF\xBF"), WideText(u"\U0010FFFF"));
  EXPECT_EQ(DecodeUtf8(std::string_view("a\0b", 3)), WideText(u"a\0b", 3));
}

TEST(DecodeUtf8, RejectsEverythingElse) {
  const char* const malformed[] = {
      "\xE9t\xE9",          // Latin-1 bytes
      "\x80",               // stray continuation byte
      "\xC3",               // sequence cut short at the end
      "\xC3(",              // lead byte without its continuation
      "\xC0\xAF",           // overlong '/'
      "\xE0\x80\xAF",       // overlong '/' in three bytes
      "\xED\xA0\x80",       // surrogate half
      "\xF4\x90\x80\x80",   // above U+10FFFF
      "\xF8\x88\x80\x80\x80",  // five-byte form
  };
  for (const char* bytes : malformed) EXPECT_EQ(DecodeUtf8(bytes), std::nullopt) << bytes;
}
