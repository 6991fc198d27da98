#include "brand/icon.h"

#include <gtest/gtest.h>

#include <string>

#include "brand_test_files.h"

using namespace std::string_literals;

namespace {

// A 256-pixel RGBA PNG, and a 16-pixel 8-bit bitmap (height counts image and
// mask) with its palette, colour rows and mask.
const Bytes kPng = TestPng(0);
const Bytes kBitmap = TestBitmap(16, 8);

std::variant<std::vector<IconImage>, IconFileProblem> Problem(IconFileProblem problem) { return problem; }

}  // namespace

TEST(IconFile, BothGroupsNameItsImagesInOrderAsWhatTheyAre) {
  const std::vector<IconImage> images = {{0, 0, 0, kPng + "after IEND"}, {16, 16, 0, kBitmap}};
  const auto parsed = ParseIconFile(TestIconFile(images));
  ASSERT_TRUE(std::holds_alternative<std::vector<IconImage>>(parsed));
  const auto& read = std::get<std::vector<IconImage>>(parsed);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].data, kPng + "after IEND");
  EXPECT_EQ(read[1].data, kBitmap);
  EXPECT_EQ(read[1].width, 16);

  // Bits per pixel come from the images, not from the file's zeros.
  const Bytes group = IconGroupResource(read, 5);
  EXPECT_EQ(group.substr(6, 14), "\0\0\0\0\1\0\x20\0"s + Bytes(1, static_cast<char>(read[0].data.size())) +
                                     "\0\0\0\5\0"s);
  EXPECT_EQ(group.substr(20, 8), "\x10\x10\0\0\1\0\x08\0"s);
  EXPECT_EQ(ReadU32(group, 28), kBitmap.size());
  const auto entries = ParseIconGroup(group);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[1].imageId, 6);
  EXPECT_EQ((*entries)[1].form.height, 16);
}

TEST(IconFile, TruncatedForeignHollowAndOverlappingFilesAreRefused) {
  const Bytes whole = TestIconFile({{16, 16, 0, kBitmap}});
  Bytes farImage = whole;
  farImage[18] = '\x7f';  // the image's offset, past the end
  Bytes cursor = whole;
  cursor[2] = '\2';
  Bytes oddPng = kPng;
  oddPng[25] = '\5';  // no such PNG colour type
  // One image named by two entries, as a file that would multiply it does.
  Bytes twice = TestIconFile({{16, 16, 0, kBitmap}, {16, 16, 0, kBitmap}});
  StoreU32(twice, 6 + 16 + 12, ReadU32(twice, 6 + 12));
  // A 32-bit image may leave out its mask, no other; rows are padded to 4 bytes.
  const Bytes maskless32 = TestBitmap(16, 32).substr(0, 40 + 16 * 64);
  const Bytes maskless24 = TestBitmap(16, 24).substr(0, 40 + 16 * 48);
  const struct {
    Bytes file;
    IconFileProblem problem;
  } cases[] = {
      {"", IconFileProblem::kTruncated},
      {"\0\0\1"s, IconFileProblem::kTruncated},
      {whole.substr(0, 12), IconFileProblem::kTruncated},
      {whole.substr(0, whole.size() - 1), IconFileProblem::kTruncated},
      {farImage, IconFileProblem::kTruncated},
      {"MZ\x90\0\3\0\0\0"s, IconFileProblem::kNotAnIcon},
      {cursor, IconFileProblem::kNotAnIcon},
      {"\0\0\1\0\0\0"s, IconFileProblem::kNotAnIcon},
      {TestIconFile({{16, 16, 0, "just some text, not an image at all"}}), IconFileProblem::kNotAnIcon},
      {TestIconFile({{0, 0, 0, oddPng}}), IconFileProblem::kNotAnIcon},
      {twice, IconFileProblem::kOverlappingImages},
      {TestIconFile({{64, 64, 0, TestBitmap(64, 32).substr(0, 40)}}), IconFileProblem::kIncompleteImage},
      {TestIconFile({{16, 16, 0, kBitmap.substr(0, kBitmap.size() - 1)}}), IconFileProblem::kIncompleteImage},
      {TestIconFile({{16, 16, 0, maskless24}}), IconFileProblem::kIncompleteImage},
      {TestIconFile({{0, 0, 0, kPng.substr(0, 33)}}), IconFileProblem::kIncompleteImage},  // cut after IHDR
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseIconFile(c.file), Problem(c.problem)) << testing::PrintToString(c.file.substr(0, 64));
  }
  EXPECT_TRUE(std::holds_alternative<std::vector<IconImage>>(ParseIconFile(TestIconFile({{16, 16, 0, maskless32}}))));
  EXPECT_FALSE(ParseIconGroup(IconGroupResource({{16, 16, 0, kBitmap}}, 1).substr(0, 19)));
}
