#pragma once

// PNG images as the branding tool reads and writes them: their header, and
// their pixels decoded to and encoded from 8-bit RGBA. Decoding and encoding
// are stb_image's and stb_image_write's (stb_png.cpp), compiled into both
// builds from the same source, so that both write the same bytes.

#include <cstdint>
#include <optional>
#include <string_view>

#include "brand/bytes.h"

// The eight bytes every PNG image starts with.
inline constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

// The largest width or height decoded: far beyond any icon or logo, and small
// enough that a hostile header cannot ask for more than 64 MiB of pixels.
inline constexpr std::uint32_t kLargestPngSide = 4096;

enum class PngColour : std::uint8_t {
  kGrey = 0,
  kRgb = 2,
  kPalette = 3,
  kGreyAlpha = 4,
  kRgba = 6,
};

// What a PNG image's IHDR chunk says of it.
struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t depth = 0;  // bits per sample, or per palette index
  PngColour colour = PngColour::kRgba;
};

// The header of the PNG image `data`: its signature and IHDR chunk; nullopt
// for data that does not start so, or a colour type PNG does not define.
std::optional<PngHeader> ReadPngHeader(std::string_view data);

// Whether the image is of the one form Windows' icon functions are documented
// to take: 8 bits per channel RGBA.
bool IsRgba8(const PngHeader& header);

// Pixels of 8 bits per channel, red, green, blue and alpha (not premultiplied),
// rows from the top.
struct RgbaPixels {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Bytes rgba;  // width * height * 4 bytes
  friend bool operator==(const RgbaPixels&, const RgbaPixels&) = default;
};

// The pixels of the PNG image `data`, of any depth and colour type, with its
// transparency (tRNS) as alpha and 16-bit samples cut to their high byte;
// nullopt when it does not decode or either side exceeds kLargestPngSide.
// Never reads outside `data`.
std::optional<RgbaPixels> DecodePng(std::string_view data);

// `pixels` as a PNG image of 8 bits per channel RGBA, holding only its IHDR,
// IDAT and IEND chunks: the same pixels give the same bytes on every system.
Bytes EncodePng(const RgbaPixels& pixels);
