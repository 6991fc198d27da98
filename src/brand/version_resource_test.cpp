#include "brand/version_resource.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

const VersionBlock* Child(const VersionBlock& parent, std::u16string_view key) {
  for (const VersionBlock& child : parent.children) {
    if (child.key == key) return &child;
  }
  return nullptr;
}

// The strings of the first string table, "key=value;" each, in order.
WideText Strings(const VersionBlock& root) {
  WideText listed;
  for (const VersionBlock& string : Child(root, u"StringFileInfo")->children.at(0).children) {
    WideText value;
    for (std::size_t at = 0; at + 1 < string.value.size(); at += 2) value.push_back(ReadU16(string.value, at));
    listed += string.key + u"=" + value.substr(0, value.find(u'\0')) + u";";
  }
  return listed;
}

VersionBlock Parsed(const std::variant<Bytes, VersionProblem>& edited) {
  return ParseVersionResource(std::get<Bytes>(edited)).value_or(VersionBlock{});
}

}  // namespace

TEST(VersionResource, BlocksAreLaidOutOnFourByteBoundaries) {
  VersionBlock leaf{u"K", true, Bytes("v\0\0\0", 4), {}};
  VersionBlock root{u"Root", false, "\1\2\3"s, {leaf, leaf}};
  // The root's header and key "Root" take 16 bytes, its value 3 more, padded
  // to 20; each leaf's header and key take 10, padded to 12, then its value.
  const Bytes leafBytes = "\x10\0\2\0\1\0K\0\0\0\0\0v\0\0\0"s;
  const Bytes expected = "\x34\0\3\0\0\0R\0o\0o\0t\0\0\0\1\2\3\0"s + leafBytes + leafBytes;
  ASSERT_EQ(SerializeVersionResource(root), expected);
  const auto parsed = ParseVersionResource(expected);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(SerializeVersionResource(*parsed), expected);
}

TEST(VersionResource, EditsChangeOnlyWhatTheyName) {
  const VersionEdits first{.description = u"Vandrel Viewer \u2713",
                           .trademarks = u"Vandrel\u2122",
                           .version = FileVersion{2, 1, 0, 65535},
                           .productVersion = u"2.1 beta 1",
                           .fileName = u"viewer.exe"};
  const VersionBlock created = Parsed(EditVersionResource(std::nullopt, first));
  EXPECT_EQ(Strings(created),
            u"FileDescription=Vandrel Viewer \u2713;FileVersion=2.1.0.65535;LegalTrademarks=Vandrel\u2122;"
            u"ProductVersion=2.1 beta 1;InternalName=viewer.exe;OriginalFilename=viewer.exe;");
  EXPECT_EQ(created.value.substr(8, 16), "\1\0\2\0\xff\xff\0\0\1\0\2\0\xff\xff\0\0"s);
  ASSERT_NE(Child(created, u"VarFileInfo"), nullptr);

  const VersionEdits second{.company = u"", .fileName = u"other.exe"};
  const Bytes source = std::get<Bytes>(EditVersionResource(std::nullopt, first));
  const VersionBlock edited = Parsed(EditVersionResource(source, second));
  EXPECT_EQ(Strings(edited),
            u"FileDescription=Vandrel Viewer \u2713;FileVersion=2.1.0.65535;LegalTrademarks=Vandrel\u2122;"
            u"ProductVersion=2.1 beta 1;InternalName=other.exe;OriginalFilename=other.exe;CompanyName=;");
  EXPECT_EQ(edited.value, created.value);
}

TEST(VersionResource, MalformedSourcesAndOverlongTextsAreRefused) {
  VersionEdits edits;
  const Bytes good = std::get<Bytes>(EditVersionResource(std::nullopt, edits));
  Bytes unterminated = "\x10\0\0\0\0\0"s + "V\0S\0_\0V\0E\0"s;
  // Blocks of 12 bytes each nested in the one before: 5 levels parse, 11 are
  // deeper than any version resource.
  const auto nested = [](int levels) {
    Bytes blocks;
    for (int level = 0; level < levels; ++level) blocks += "\0\0\0\0\0\0K\0\0\0\0\0"s;
    for (std::size_t at = 0; at < blocks.size(); at += 12) blocks[at] = static_cast<char>(blocks.size() - at);
    return blocks;
  };
  EXPECT_TRUE(ParseVersionResource(nested(5)));
  const Bytes deep = nested(11);
  for (const Bytes& source : {Bytes(), good.substr(0, good.size() - 4), unterminated,
                              "\x0c\0\0\0\0\0x\0\0\0\0\0"s, deep}) {
    EXPECT_EQ(EditVersionResource(source, edits),
              (std::variant<Bytes, VersionProblem>(VersionProblem::kMalformed)));
  }
  // One text as long as a command line allows still fits; two do not.
  edits.description = WideText(32000, u'x');
  EXPECT_TRUE(std::holds_alternative<Bytes>(EditVersionResource(good, edits)));
  edits.company = edits.description;
  EXPECT_TRUE(EditVersionResource(good, edits) ==
              (std::variant<Bytes, VersionProblem>(VersionProblem::kTooLong)));
}

TEST(VersionResource, VersionsAreOneToFourNumbersUpTo65535PaddedWithZeros) {
  EXPECT_EQ(ParseFileVersion(u"2.1.0.7"), (FileVersion{2, 1, 0, 7}));
  EXPECT_EQ(ParseFileVersion(u"065535.0.00.1"), (FileVersion{65535, 0, 0, 1}));
  EXPECT_EQ(ParseFileVersion(u"2.1"), (FileVersion{2, 1, 0, 0}));
  EXPECT_EQ(ParseFileVersion(u"7"), (FileVersion{7, 0, 0, 0}));
  for (const char16_t* bad : {u"", u".", u"2.", u"1.2.3.4.5", u"1.2.3.65536", u"1..3.4", u"1.2.3.4.",
                              u" 1.2.3.4", u"+1.2.3.4", u"1.2.3.x", u"99999999999.1.1.1"}) {
    EXPECT_FALSE(ParseFileVersion(bad)) << testing::PrintToString(WideText(bad));
  }
}
