#pragma once

// Icon images made from PNG images: an icon file's PNG images that are not
// 8-bit RGBA stored as 8-bit RGBA, and a whole icon made from one logo.

#include <cstdint>
#include <variant>
#include <vector>

#include "brand/icon.h"
#include "brand/png_codec.h"

// The smallest logo an icon is made from: its largest image's side.
inline constexpr std::uint32_t kSmallestLogoSide = 256;

enum class IconPngProblem {
  kLogoShape,    // a logo that is not square, or smaller than kSmallestLogoSide
  kTooLarge,     // wider or taller than kLargestPngSide
  kUndecodable,  // its data does not decode
};

// Why a PNG image could not be made into icon images, and its size.
struct IconPngFailure {
  IconPngProblem problem;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  friend bool operator==(const IconPngFailure&, const IconPngFailure&) = default;
};

// An icon file's images with each PNG image that is not 8-bit RGBA replaced
// by an 8-bit RGBA PNG image of the same pixels (its colour count 0), and
// what each replaced image was, "<w>x<h> <depth>-bit <colour type>" as in
// "256x256 16-bit RGBA", in order. Bitmaps and 8-bit RGBA PNG images are
// kept byte for byte. The images must be complete (IconImageComplete).
struct ConvertedIcon {
  std::vector<IconImage> images;
  std::vector<WideText> converted;
  friend bool operator==(const ConvertedIcon&, const ConvertedIcon&) = default;
};
std::variant<ConvertedIcon, IconPngFailure> WithRgba8PngImages(std::vector<IconImage> images);

// The sides of a logo's icon images, largest first: a PNG image, then bitmaps.
inline constexpr std::uint32_t kLogoIconSides[] = {256, 64, 48, 32, 24, 16};

// The icon made from the logo `png`, a square PNG image of at least
// kSmallestLogoSide pixels of any depth and colour type: a 256-pixel 8-bit
// RGBA PNG image, then 32-bit bitmaps of 64, 48, 32, 24 and 16 pixels whose
// masks are set where their alpha is 0. Each is the logo shrunk by the
// average of the areas each of its pixels covers, weighted by alpha, in
// integers only, so that every system gives the same bytes.
std::variant<std::vector<IconImage>, IconPngFailure> IconImagesFromLogo(std::string_view png);

// `source`, a square image, shrunk to `side` pixels square, no larger than
// it: each pixel's alpha is the area average of the alpha it covers, rounded,
// and its colour the area average of the colours weighted by their alpha
// (premultiplied), rounded; 0 where all it covers is transparent.
RgbaPixels AreaAverage(const RgbaPixels& source, std::uint32_t side);

// A 32-bit icon bitmap of `pixels`: its header, its colour rows from the
// bottom in blue, green, red and alpha, and its mask rows, each bit set where
// alpha is 0.
Bytes IconBitmap(const RgbaPixels& pixels);
