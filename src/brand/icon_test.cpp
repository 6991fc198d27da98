#include "brand/icon.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

// A 256-pixel RGBA PNG's signature and header chunk, and a 16-pixel 8-bit
// bitmap's header (height counts image and mask), each with a little data.
const Bytes kPng = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\1\0\0\0\1\0\x08\x06\0\0\0pixels"s;
const Bytes kBitmap = "\x28\0\0\0\x10\0\0\0\x20\0\0\0\1\0\x08\0"s + Bytes(24, '\0') + "palette+bits"s;

// An .ico file of `images`, stored one after another behind the directory.
Bytes IconFile(const std::vector<IconImage>& images) {
  Bytes file = "\0\0\1\0"s;
  AppendU16(file, static_cast<std::uint16_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const IconImage& image : images) {
    file += {static_cast<char>(image.width), static_cast<char>(image.height),
             static_cast<char>(image.colourCount), '\0'};
    AppendU32(file, 0);  // planes and bits: files often leave them 0
    AppendU32(file, static_cast<std::uint32_t>(image.data.size()));
    AppendU32(file, offset);
    offset += static_cast<std::uint32_t>(image.data.size());
  }
  for (const IconImage& image : images) file += image.data;
  return file;
}

std::variant<std::vector<IconImage>, IconFileProblem> Problem(IconFileProblem problem) { return problem; }

}  // namespace

TEST(IconFile, BothGroupsNameItsImagesInOrderAsWhatTheyAre) {
  const std::vector<IconImage> images = {{0, 0, 0, kPng}, {16, 16, 0, kBitmap}};
  const auto parsed = ParseIconFile(IconFile(images));
  ASSERT_TRUE(std::holds_alternative<std::vector<IconImage>>(parsed));
  const auto& read = std::get<std::vector<IconImage>>(parsed);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].data, kPng);
  EXPECT_EQ(read[1].data, kBitmap);
  EXPECT_EQ(read[1].width, 16);

  // Bits per pixel come from the images, not from the file's zeros.
  const Bytes group = IconGroupResource(read, 5);
  EXPECT_EQ(group.substr(6, 14), "\0\0\0\0\1\0\x20\0"s + Bytes(1, static_cast<char>(kPng.size())) + "\0\0\0\5\0"s);
  EXPECT_EQ(group.substr(20, 14),
            "\x10\x10\0\0\1\0\x08\0"s + Bytes(1, static_cast<char>(kBitmap.size())) + "\0\0\0\6\0"s);
  const auto entries = ParseIconGroup(group);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[1].imageId, 6);
  EXPECT_EQ((*entries)[1].form.height, 16);
}

TEST(IconFile, TruncatedAndForeignFilesAreRefused) {
  const Bytes whole = IconFile({{16, 16, 0, kBitmap}});
  Bytes farImage = whole;
  farImage[18] = '\x7f';  // the image's offset, past the end
  Bytes cursor = whole;
  cursor[2] = '\2';
  Bytes textImage = IconFile({{16, 16, 0, "just some text, not an image at all"}});
  Bytes oddPng = kPng;
  oddPng[25] = '\5';  // no such PNG colour type
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
      {textImage, IconFileProblem::kNotAnIcon},
      {IconFile({{0, 0, 0, oddPng}}), IconFileProblem::kNotAnIcon},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseIconFile(c.file), Problem(c.problem)) << testing::PrintToString(c.file);
  }
  EXPECT_FALSE(ParseIconGroup(IconGroupResource({{16, 16, 0, kBitmap}}, 1).substr(0, 19)));
}
