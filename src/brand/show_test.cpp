#include "brand/show.h"

#include <gtest/gtest.h>

#include "brand/branded_resources.h"
#include "brand_platform_fake.h"
#include "brand_test_files.h"

namespace {

constexpr std::size_t kCertificateEntryAt = 0x58 + 112 + 4 * 8;

Bytes WithResources(const std::vector<Resource>& resources) {
  const Bytes program = TestProgram();
  return std::get<Bytes>(WithResources(program, *ReadPeImage(program), resources));
}

Bytes Text(std::u16string_view text) {
  Bytes value;
  AppendUtf16(value, text);
  AppendU16(value, 0);
  return value;
}

// A version resource whose first string table has no ProductName and whose
// second holds texts with a tab, a line break, a character beyond the BMP and
// a lone surrogate; its value length counts bytes, as some writers count it.
Bytes VersionWithTwoTables() {
  VersionEdits edits;
  edits.version = FileVersion{2, 1, 0, 65535};
  VersionBlock root = *ParseVersionResource(std::get<Bytes>(EditVersionResource(std::nullopt, edits)));
  VersionBlock& tables = root.children.front();
  tables.children.front().children = {
      {u"CompanyName", true, Text(u"Corvenna\tÉditions"), {}},
      {u"productname", true, Text(u"Viewer \U0001D11E\r\nSigned: yes"), {}},
      {u"Odd\x1B", true, Text(u"lone \xD800 surrogate"), {}},
  };
  tables.children.insert(tables.children.begin(), {u"040704b0", true, {}, {{u"Comments", true, Text(u"none"), {}}}});
  return *SerializeVersionResource(root);
}

}  // namespace

TEST(Show, PrintsTheProductNamesTableVersionsIconGroupsSignatureAndChecksum) {
  const Bytes bitmap = TestBitmap(16, 32);
  const Bytes png = TestPng(0);
  const Bytes group = IconGroupResource({{16, 16, 0, bitmap}, {0, 0, 0, png}}, 1);
  const Bytes program = WithResources({
      {{kVersionType, {}}, {1, {}}, 0x0409, VersionWithTwoTables(), 0},
      {{kIconImageType, {}}, {1, {}}, 0x0409, bitmap, 0},
      {{kIconImageType, {}}, {2, {}}, 0x0409, png, 0},
      {{kIconGroupType, {}}, {kShellIconGroup, {}}, 0x0409, group, 0},
      {{kIconGroupType, {}}, {0, u"MAIN"}, 0x0409, IconGroupResource({{16, 16, 0, bitmap}}, 1), 0},
      {{kIconGroupType, {}}, {kSecondIconGroup, {}}, 0x0409, "not a group", 0},
  });
  EXPECT_EQ(std::get<WideText>(ProgramDetails(program)),
            u"CompanyName: Corvenna\\u0009Éditions\n"
            u"productname: Viewer \U0001D11E\\u000D\\u000ASigned: yes\n"
            u"Odd\\u001B: lone \\uD800 surrogate\n"
            u"Fixed file version: 2.1.0.65535\n"
            u"Fixed product version: 2.1.0.65535\n"
            u"Icon group MAIN: 16x16 32\n"
            u"Icon group 107: 16x16 32, 256x256 32\n"
            u"Icon group 108: malformed\n"
            u"Signature: no\n"
            u"Checksum: right\n");
}

TEST(Show, SaysWhenTheVersionInformationOrTheChecksumCannotBeTrusted) {
  const std::string_view version = "\x10\0\0\0\0\0V\0S\0\0\0\0\0\0\0";
  EXPECT_EQ(std::get<WideText>(ProgramDetails(TestProgram())),
            u"Version information: none\nSignature: no\nChecksum: right\n");
  EXPECT_EQ(std::get<WideText>(ProgramDetails(WithResources({{{kVersionType, {}}, {1, {}}, 0x0409, Bytes(version), 0}}))),
            u"Version information: malformed\nSignature: no\nChecksum: right\n");

  // A signature appended, the checksum left as it was before.
  Bytes signed_ = TestProgram();
  StoreU32(signed_, kCertificateEntryAt, static_cast<std::uint32_t>(signed_.size()));
  StoreU32(signed_, kCertificateEntryAt + 4, 16);
  signed_ += Bytes("\x10\0\0\0\0\x02\x02\0certific", 16);
  EXPECT_EQ(std::get<WideText>(ProgramDetails(signed_)),
            u"Version information: none\nSignature: yes\nChecksum: wrong\n");
}

TEST(Show, TheToolPrintsTheDetailsOrRefusesInOneLineAndWritesNothing) {
  ResetFakeFiles();
  PutFakeFile(u"viewer.exe", TestProgram());
  PutFakeFile(u"notes.txt", "MZ but nothing else");
  const BrandToolRun shown = RunBrandTool({u"--show", u"viewer.exe"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.output, std::get<WideText>(ProgramDetails(TestProgram())));
  EXPECT_EQ(shown.errors, u"");

  const std::pair<std::vector<WideText>, std::u16string_view> refused[] = {
      {{u"--show", u"notes.txt"}, u"launcher-brand: the program 'notes.txt' is not a Windows program"},
      {{u"--show", u"absent.exe"}, u"launcher-brand: cannot find the program 'absent.exe'"},
      {{u"viewer.exe", u"--show", u"viewer.exe"}, u"launcher-brand: unexpected argument 'viewer.exe'"},
      {{u"--show", u"viewer.exe", u"--icon", u"app.ico"}, u"launcher-brand: unexpected argument '--icon'"},
      {{u"--show"}, u"launcher-brand: option '--show' needs a value"},
  };
  for (const auto& [arguments, line] : refused) {
    SCOPED_TRACE(arguments.size());
    const BrandToolRun run = RunBrandTool(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, u"");
    EXPECT_TRUE(run.errors.starts_with(line));
  }
  EXPECT_EQ(FakeFilePaths(), (std::vector<WideText>{u"notes.txt", u"viewer.exe"}));
}
