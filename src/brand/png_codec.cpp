#include "brand/png_codec.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdlib>
#include <limits>

namespace {

// The signature, then the IHDR chunk's length and type, width, height, bit
// depth and colour type.
constexpr std::size_t kHeaderSize = 26;
constexpr int kRgbaChannels = 4;

void AppendEncoded(void* context, void* data, int size) {
  static_cast<Bytes*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace

std::optional<PngHeader> ReadPngHeader(std::string_view data) {
  if (!data.starts_with(kPngSignature) || data.size() < kHeaderSize || data.substr(12, 4) != "IHDR") {
    return std::nullopt;
  }
  const auto colour = static_cast<unsigned char>(data[25]);
  if (colour > 6 || colour == 1 || colour == 5) return std::nullopt;
  return PngHeader{ReadBigEndianU32(data, 16), ReadBigEndianU32(data, 20), static_cast<std::uint8_t>(data[24]),
                   static_cast<PngColour>(colour)};
}

bool IsRgba8(const PngHeader& header) { return header.colour == PngColour::kRgba && header.depth == 8; }

std::optional<RgbaPixels> DecodePng(std::string_view data) {
  const auto header = ReadPngHeader(data);
  if (!header || header->width > kLargestPngSide || header->height > kLargestPngSide ||
      data.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return std::nullopt;
  }
  int width = 0;
  int height = 0;
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(data.data()), static_cast<int>(data.size()),
                                          &width, &height, &channels, kRgbaChannels);
  if (pixels == nullptr) return std::nullopt;
  RgbaPixels decoded{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), {}};
  decoded.rgba.assign(reinterpret_cast<const char*>(pixels),
                      std::size_t{decoded.width} * decoded.height * kRgbaChannels);
  stbi_image_free(pixels);
  return decoded;
}

Bytes EncodePng(const RgbaPixels& pixels) {
  Bytes encoded;
  const int rowBytes = static_cast<int>(pixels.width) * kRgbaChannels;
  if (stbi_write_png_to_func(AppendEncoded, &encoded, static_cast<int>(pixels.width),
                             static_cast<int>(pixels.height), kRgbaChannels, pixels.rgba.data(), rowBytes) == 0) {
    // The encoder fails only when memory runs out, which ends the tool
    // wherever else it happens.
    std::abort();
  }
  return encoded;
}
