#include "brand/icon.h"

#include <gtest/gtest.h>

#include "brand/icon_png.h"

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

TEST(IconPng, ImagesOtherThan8BitRgbaBecome8BitRgbaOfTheSamePixels) {
  using namespace std::string_literals;
  // A palette whose first colour is transparent, and RGBA of 16 bits per
  // channel, each two pixels wide and one high.
  const Bytes palette = TestPngChunk("PLTE", "\xff\0\0\0\xff\0"s) + TestPngChunk("tRNS", "\0"s);
  const struct {
    Bytes png;
    Bytes rgba;
    std::u16string_view described;
  } cases[] = {
      {EncodedTestPng(2, 1, 8, 3, "\0\1"s, palette), "\xff\0\0\0\0\xff\0\xff"s, u"2x1 8-bit palette"},
      {EncodedTestPng(2, 1, 16, 6, "\x12\x34\x56\x78\x9a\xbc\xde\xf0\1\2\3\4\5\6\7\x08"s),
       "\x12\x56\x9a\xde\1\3\5\7"s, u"2x1 16-bit RGBA"},
  };
  const Bytes rgba8 = EncodedTestPng(2, 1, 8, 6, "\1\2\3\4\5\6\7\x08"s);
  std::vector<IconImage> images = {{16, 16, 0, kBitmap}, {2, 1, 0, rgba8}};
  for (const auto& c : cases) images.push_back({2, 1, 16, c.png});
  const auto converted = WithRgba8PngImages(images);
  ASSERT_TRUE(std::holds_alternative<ConvertedIcon>(converted));
  const ConvertedIcon& icon = std::get<ConvertedIcon>(converted);
  ASSERT_EQ(icon.images.size(), images.size());
  EXPECT_EQ(icon.images[0], images[0]);
  EXPECT_EQ(icon.images[1], images[1]);
  for (std::size_t index = 0; index < std::size(cases); ++index) {
    const IconImage& image = icon.images[index + 2];
    SCOPED_TRACE(index);
    EXPECT_EQ(image.colourCount, 0);
    ASSERT_TRUE(ReadPngHeader(image.data));
    EXPECT_TRUE(IsRgba8(*ReadPngHeader(image.data)));
    EXPECT_EQ(DecodePng(image.data), (RgbaPixels{2, 1, cases[index].rgba}));
    EXPECT_EQ(icon.converted[index], cases[index].described);
  }

  // What cannot be decoded is refused, naming the image's size.
  Bytes huge = cases[1].png;
  huge.replace(16, 4, BigEndianBytes(5000));  // its width
  Bytes garbled = cases[1].png;
  garbled[33 + 10] = '\7';  // the first deflate block's type: reserved
  EXPECT_EQ(WithRgba8PngImages({{0, 0, 0, huge}}), (std::variant<ConvertedIcon, IconPngFailure>(
                                                        IconPngFailure{IconPngProblem::kTooLarge, 5000, 1})));
  EXPECT_EQ(WithRgba8PngImages({{0, 0, 0, garbled}}), (std::variant<ConvertedIcon, IconPngFailure>(
                                                           IconPngFailure{IconPngProblem::kUndecodable, 2, 1})));
}

TEST(IconPng, ALogoMakesEverySizeByAreaAveragesOfPremultipliedColour) {
  // The left half: opaque white and transparent black in a checkerboard;
  // the right half transparent.
  constexpr std::uint32_t kSide = 512;
  Bytes samples;
  for (std::uint32_t row = 0; row < kSide; ++row) {
    for (std::uint32_t column = 0; column < kSide; ++column) {
      samples += column < kSide / 2 && (row + column) % 2 == 0 ? "\xff\xff\xff\xff" : Bytes(4, '\0');
    }
  }
  const auto made = IconImagesFromLogo(EncodedTestPng(kSide, kSide, 8, 6, samples));
  ASSERT_TRUE(std::holds_alternative<std::vector<IconImage>>(made));
  const auto& images = std::get<std::vector<IconImage>>(made);
  ASSERT_EQ(images.size(), std::size(kLogoIconSides));
  for (std::size_t index = 0; index < images.size(); ++index) {
    EXPECT_EQ(images[index].width, static_cast<std::uint8_t>(kLogoIconSides[index]));
    EXPECT_TRUE(IconImageComplete(images[index].data));
  }
  // Weighted by alpha the colour stays white, where a plain average would grey it.
  const auto png = DecodePng(images[0].data);
  ASSERT_TRUE(png && IsRgba8(*ReadPngHeader(images[0].data)));
  EXPECT_EQ(png->rgba.substr(0, 4), "\xff\xff\xff\x80");
  // The 16-pixel bitmap's bottom row, blue to alpha, from the left, then its
  // mask, set over the transparent half.
  const Bytes& bitmap = images.back().data;
  EXPECT_EQ(bitmap.substr(40, 4), "\xff\xff\xff\x80");
  EXPECT_EQ(bitmap.substr(40 + 15 * 4, 4), Bytes(4, '\0'));
  EXPECT_EQ(bitmap.substr(40 + 16 * 16 * 4, 4), Bytes("\0\xff\0\0", 4));

  // At sizes the logo's does not divide, the areas still add up exactly.
  const auto tinted = [](std::uint32_t side) {
    Bytes rgba;
    for (std::uint32_t pixel = 0; pixel < side * side; ++pixel) rgba += "\x0a\x14\x1e\xc8";
    return RgbaPixels{side, side, rgba};
  };
  for (const std::uint32_t side : kLogoIconSides) EXPECT_EQ(AreaAverage(tinted(300), side), tinted(side));

  const auto refused = [](std::uint32_t width, std::uint32_t height, IconPngProblem problem) {
    Bytes logo = UniformTestPng(1, "\0\0\0\0");
    logo.replace(16, 8, BigEndianBytes(width) + BigEndianBytes(height));
    EXPECT_EQ(IconImagesFromLogo(logo), (std::variant<std::vector<IconImage>, IconPngFailure>(
                                           IconPngFailure{problem, width, height})));
  };
  refused(300, 200, IconPngProblem::kLogoShape);
  refused(128, 128, IconPngProblem::kLogoShape);
  refused(5000, 5000, IconPngProblem::kTooLarge);
}
