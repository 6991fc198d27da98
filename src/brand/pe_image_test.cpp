#include "brand/pe_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "brand_test_files.h"

using namespace std::string_literals;

namespace {

constexpr std::size_t kOptionalAt = 0x58;
constexpr std::size_t kDirectoriesAt = kOptionalAt + 112;
constexpr std::size_t kRelocationsHeaderAt = kOptionalAt + 240 + 80;

Resource Of(std::uint16_t type, ResourceName name, Bytes data, std::uint16_t language = 0x0409) {
  return {{type, {}}, std::move(name), language, std::move(data), 0};
}

Bytes With(Bytes file, std::size_t at, std::uint32_t value) {
  StoreU32(file, at, value);
  return file;
}

std::variant<Bytes, ResourceRewriteProblem> Rewritten(const Bytes& file, const std::vector<Resource>& resources) {
  const auto image = ReadPeImage(file);
  if (!image) return ResourceRewriteProblem::kNoResourceSection;
  return WithResources(file, *image, resources);
}

}  // namespace

TEST(ResourceSection, ReadsBackInDirectoryOrderWithDataAlignedInTheGivenOrder) {
  const std::vector<Resource> resources = {
      Of(24, {1, {}}, "<assembly/>"),  Of(3, {2, {}}, "odd", 0x0407), Of(3, {1, {}}, "image one"),
      Of(14, {0, u"main"}, "group"),  Of(14, {0, u"Alpha"}, "alpha"), Of(14, {0, u"_zeta"}, "zeta"),
      Of(3, {1, {}}, "image one in German", 0x0407)};
  std::vector<Resource> named = {{{0, u"MUI"}, {1, {}}, 0, "mui", 7}};
  named.insert(named.end(), resources.begin(), resources.end());

  const auto section = BuildResourceSection(named, 0x5000);
  ASSERT_TRUE(section);
  const auto read = ReadResourceTree(*section, 0x5000, 0);
  ASSERT_TRUE(read);
  // Named entries first; names without regard to ASCII case, as upper case
  // sorts them ('_' after 'M'); numbers ascending, languages ascending.
  std::vector<std::string> listed;
  for (const Resource& resource : *read) listed.push_back(resource.data);
  EXPECT_EQ(listed, (std::vector<std::string>{"mui", "image one in German", "image one", "odd", "alpha", "group",
                                               "zeta", "<assembly/>"}));
  EXPECT_EQ(*read, InDirectoryOrder(named));
  // Each datum where its data entry says, at a multiple of 8, in the order given.
  std::size_t previous = 0;
  for (const Resource& resource : named) {
    const std::size_t at = section->find(resource.data);
    EXPECT_EQ(at % 8, 0u) << resource.data;
    EXPECT_GT(at, previous) << resource.data;
    previous = at;
  }
}

TEST(ResourceSection, MalformedTreesAreRefused) {
  // Root (1 type) at 0, its name table (2 names) at 24, their language tables
  // at 56 and 80, data entries at 104 and 120, data at 136 and 144.
  const Bytes good = *BuildResourceSection({Of(3, {1, {}}, "one"), Of(3, {2, {}}, "two")}, 0x5000);
  ASSERT_TRUE(ReadResourceTree(good, 0x5000, 0));
  ASSERT_EQ(ReadU32(good, 104), 0x5000u + 136);
  const Bytes bad[] = {
      With(good, 20, 0x80000000),           // the root's entry leads back to the root
      With(good, 52, ReadU32(good, 44)),    // both names share one language table
      With(good, 104, 0x5000 + 150),        // data running past the section
      With(good, 120, ReadU32(good, 104)),  // two resources sharing their data
      With(good, 48, 1),                    // two resources named 1
      With(good, 72, 0x80000000 | 136),     // a language given by name
      With(good, 76, 0x80000000 | 104),     // a table where the data entry belongs
      With(good, 16, 0x10003),              // a type wider than 16 bits
      good.substr(0, 100),                  // cut inside the tree
  };
  for (const Bytes& section : bad) {
    EXPECT_FALSE(ReadResourceTree(section, 0x5000, 0)) << testing::PrintToString(section);
  }
  // Two types named alike but for case are one to Windows' search.
  Bytes named = *BuildResourceSection({{{0, u"abc"}, {1, {}}, 0, "a", 0}, {{0, u"xyz"}, {2, {}}, 0, "x", 0}}, 0x5000);
  ASSERT_TRUE(ReadResourceTree(named, 0x5000, 0));
  named.replace(named.find(Bytes("x\0y\0z\0", 6)), 6, Bytes("A\0B\0C\0", 6));
  EXPECT_FALSE(ReadResourceTree(named, 0x5000, 0));
}

TEST(PeImage, NewResourcesMoveOnlyTheRelocationsAndComeOffAgain) {
  // A 32-bit program's resources come and go alike.
  const Bytes pe32 = TestProgram(true);
  const auto pe32Copy = Rewritten(pe32, {Of(16, {1, {}}, Bytes(0x1800, 'v'))});
  ASSERT_TRUE(std::holds_alternative<Bytes>(pe32Copy));
  EXPECT_EQ(ReadU32(std::get<Bytes>(pe32Copy), kOptionalAt + 56), 0x5000u) << "SizeOfImage";
  EXPECT_EQ(Rewritten(std::get<Bytes>(pe32Copy), {}), (std::variant<Bytes, ResourceRewriteProblem>(pe32)));

  const Bytes program = TestProgram();
  const auto image = ReadPeImage(program);
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->isProgram);
  ASSERT_EQ(image->sections.size(), 3u);
  EXPECT_EQ(ReadResources(program, *image), std::vector<Resource>{});

  // Signed, as a launcher comes from its maker: the signature goes.
  Bytes signedProgram = program + Bytes(24, 'S');
  StoreU32(signedProgram, kDirectoriesAt + 4 * 8, static_cast<std::uint32_t>(program.size()));
  StoreU32(signedProgram, kDirectoriesAt + 4 * 8 + 4, 24);
  const std::vector<Resource> resources = {Of(24, {1, {}}, Bytes(0x1800, 'm')), Of(16, {1, {}}, "version")};
  const auto rewritten = Rewritten(signedProgram, resources);
  ASSERT_TRUE(std::holds_alternative<Bytes>(rewritten));
  const Bytes& copy = std::get<Bytes>(rewritten);
  const auto copied = ReadPeImage(copy);
  ASSERT_TRUE(copied);
  EXPECT_EQ(ReadResources(copy, *copied), InDirectoryOrder(resources));
  EXPECT_EQ(copy.substr(0x400, 0x200), program.substr(0x400, 0x200)) << "the code";
  // The resource section grew past 0x1000 bytes: the relocations follow it
  // at the next aligned address and the end of the file, unchanged.
  EXPECT_EQ(copied->sections[2].address, 0x4000u);
  EXPECT_EQ(DirectoryOf(*copied, kRelocationDirectory).address, 0x4000u);
  EXPECT_EQ(copy.substr(copied->sections[2].rawAt), program.substr(0x800));
  EXPECT_EQ(ReadU32(copy, kOptionalAt + 56), 0x5000u) << "SizeOfImage";
  EXPECT_EQ(DirectoryOf(*copied, kCertificateDirectory).size, 0u);
  EXPECT_EQ(ReadU32(copy, ChecksumAt(*copied)), ImageChecksum(copy, ChecksumAt(*copied)));

  // Rewritten again with no resources, the copy is the program it came from.
  EXPECT_EQ(Rewritten(copy, {}), (std::variant<Bytes, ResourceRewriteProblem>(program)));
}

TEST(PeImage, FilesItCannotReadOrRewriteAreNamed) {
  const Bytes program = TestProgram();
  for (const Bytes& file : {Bytes("MZ"), With(program, 0x40, 0), With(program, kOptionalAt, 0x10C),
                            With(program, kOptionalAt + 36, 0x300),   // a file alignment of no power of two
                            With(program, kOptionalAt + 0xF0 + 40 + 12, 0x1008),  // sections overlapping
                            With(program, kOptionalAt + 0xF0 + 40 + 20, 0x900),   // data past the file
                            With(program, kOptionalAt + 0xF0 + 20, 0),            // data in the headers
                            With(program, kDirectoriesAt + 4 * 8 + 4, 8)}) {      // a signature not at the end
    EXPECT_FALSE(ReadPeImage(file)) << testing::PrintToString(file.substr(0, 0x80));
  }
  using enum ResourceRewriteProblem;
  const struct {
    Bytes file;
    ResourceRewriteProblem problem;
  } cases[] = {
      {With(program, kDirectoriesAt + 2 * 8, 0), kNoResourceSection},
      {With(program, 0x4C, 0x1000), kSymbolTable},
      {With(program, kDirectoriesAt + 6 * 8, 0x2008), kDataAfterResources},  // debug data inside the resources
      {With(program, kDirectoriesAt + 5 * 8 + 4, 8), kDataAfterResources},  // relocations not their whole section
      {With(program + Bytes(0x200, '\0'), kRelocationsHeaderAt + 20, 0xA00), kDataAfterResources},  // a gap before them
      {program + "overlay", kDataAfterSections},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rewritten(c.file, {}), (std::variant<Bytes, ResourceRewriteProblem>(c.problem)))
        << static_cast<int>(c.problem);
  }
}

TEST(PeImage, ALauncherIsA64BitGuiProgramWithItsTextsOutsideItsResources) {
  const auto isLauncher = [](const Bytes& file) {
    const auto image = ReadPeImage(file);
    return image && IsLauncher(file, *image);
  };
  const Bytes program = TestProgram();
  EXPECT_TRUE(isLauncher(program));
  EXPECT_FALSE(isLauncher(TestProgram(true)));
  EXPECT_FALSE(isLauncher(With(program, kOptionalAt + 68, 3))) << "a console program";
  EXPECT_FALSE(isLauncher(With(program, 0x54, 0x20220000 | 240))) << "a DLL";
  // The texts in its resources alone, as any program could hold them.
  Bytes texts;
  for (const std::u16string_view text : kLauncherTexts) AppendUtf16(texts, text);
  Bytes bare = program;
  bare.replace(0x410, texts.size(), Bytes(texts.size(), '\xC3'));
  EXPECT_FALSE(isLauncher(bare));
  const auto withTexts = Rewritten(bare, {Of(16, {1, {}}, texts)});
  ASSERT_TRUE(std::holds_alternative<Bytes>(withTexts));
  EXPECT_FALSE(isLauncher(std::get<Bytes>(withTexts)));
}

TEST(PeImage, ChecksumFoldsCarriesSkipsItsFieldAndAddsTheLength) {
  EXPECT_EQ(ImageChecksum("\xFF\xFF\xFF\xFF\x01", 100), 1u + 5);
  EXPECT_EQ(ImageChecksum("\x12\x34\x56\x78\x01\x00"s, 0), 1u + 6);
  // The linker's own value, where the build names its launcher.
  const char* linked = std::getenv("LAUNCHER_LINKED_PROGRAM");
  if (linked == nullptr) GTEST_SKIP() << "LAUNCHER_LINKED_PROGRAM names no program";
  std::ifstream in(linked, std::ios::binary);
  const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto image = ReadPeImage(file);
  ASSERT_TRUE(image) << linked;
  EXPECT_NE(ReadU32(file, ChecksumAt(*image)), 0u);
  EXPECT_EQ(ImageChecksum(file, ChecksumAt(*image)), ReadU32(file, ChecksumAt(*image)));
}
