#include "brand/icon_png.h"

#include <algorithm>
#include <utility>

#include "text/text.h"

namespace {

using enum IconPngProblem;

constexpr std::size_t kChannels = 4;
constexpr std::size_t kAlpha = 3;
constexpr std::uint32_t kBitmapHeaderSize = 40;

std::u16string_view ColourName(PngColour colour) {
  switch (colour) {
    case PngColour::kGrey: return u"grey";
    case PngColour::kRgb: return u"RGB";
    case PngColour::kPalette: return u"palette";
    case PngColour::kGreyAlpha: return u"grey and alpha";
    case PngColour::kRgba: break;
  }
  return u"RGBA";
}

WideText Described(const PngHeader& header) {
  return DecimalText(header.width) + u"x" + DecimalText(header.height) + u" " + DecimalText(header.depth) +
         u"-bit " + WideText(ColourName(header.colour));
}

std::variant<RgbaPixels, IconPngFailure> Decoded(std::string_view png, const PngHeader& header) {
  if (header.width > kLargestPngSide || header.height > kLargestPngSide) {
    return IconPngFailure{kTooLarge, header.width, header.height};
  }
  auto pixels = DecodePng(png);
  if (!pixels) return IconPngFailure{kUndecodable, header.width, header.height};
  return *std::move(pixels);
}

// The source pixels one pixel of the shrunk image covers along one side, and
// how much of each: source pixel i spans [i * to, (i + 1) * to) and shrunk
// pixel t [t * from, (t + 1) * from), so the weights of each shrunk pixel add
// up to `from`.
struct Coverage {
  std::uint32_t first = 0;
  std::vector<std::uint32_t> weights;
};

std::vector<Coverage> Coverages(std::uint32_t from, std::uint32_t to) {
  std::vector<Coverage> coverages(to);
  for (std::uint64_t target = 0; target < to; ++target) {
    const std::uint64_t start = target * from;
    const std::uint64_t end = start + from;
    Coverage& coverage = coverages[target];
    coverage.first = static_cast<std::uint32_t>(start / to);
    for (std::uint64_t source = coverage.first; source * to < end; ++source) {
      const std::uint64_t low = std::max(source * to, start);
      const std::uint64_t high = std::min((source + 1) * to, end);
      coverage.weights.push_back(static_cast<std::uint32_t>(high - low));
    }
  }
  return coverages;
}

// Rounds numerator / denominator to the nearest integer, halves up.
std::uint64_t RoundedQuotient(std::uint64_t numerator, std::uint64_t denominator) {
  return (numerator + denominator / 2) / denominator;
}

}  // namespace

RgbaPixels AreaAverage(const RgbaPixels& source, std::uint32_t side) {
  const std::uint32_t from = source.width;
  const std::vector<Coverage> coverages = Coverages(from, side);
  // Across first: each source row's sums of premultiplied colour and of
  // alpha under each shrunk column, weighted by the area covered.
  std::vector<std::uint64_t> across(std::size_t{from} * side * kChannels);
  for (std::size_t row = 0; row < from; ++row) {
    const auto* line = reinterpret_cast<const unsigned char*>(source.rgba.data()) + row * from * kChannels;
    for (std::size_t column = 0; column < side; ++column) {
      std::uint64_t* sums = &across[(row * side + column) * kChannels];
      const Coverage& coverage = coverages[column];
      for (std::size_t index = 0; index < coverage.weights.size(); ++index) {
        const unsigned char* pixel = line + (coverage.first + index) * kChannels;
        const std::uint64_t weight = coverage.weights[index];
        const std::uint64_t alpha = pixel[kAlpha];
        for (std::size_t channel = 0; channel < kAlpha; ++channel) sums[channel] += weight * pixel[channel] * alpha;
        sums[kAlpha] += weight * alpha;
      }
    }
  }
  // Then down: the weights of a shrunk pixel add up to from * from.
  const std::uint64_t area = std::uint64_t{from} * from;
  RgbaPixels shrunk{side, side, Bytes(std::size_t{side} * side * kChannels, '\0')};
  for (std::size_t row = 0; row < side; ++row) {
    const Coverage& coverage = coverages[row];
    for (std::size_t column = 0; column < side; ++column) {
      std::uint64_t sums[kChannels] = {};
      for (std::size_t index = 0; index < coverage.weights.size(); ++index) {
        const std::uint64_t* above = &across[((coverage.first + index) * side + column) * kChannels];
        for (std::size_t channel = 0; channel < kChannels; ++channel) {
          sums[channel] += coverage.weights[index] * above[channel];
        }
      }
      char* pixel = &shrunk.rgba[(row * side + column) * kChannels];
      for (std::size_t channel = 0; channel < kAlpha; ++channel) {
        pixel[channel] = static_cast<char>(sums[kAlpha] == 0 ? 0 : RoundedQuotient(sums[channel], sums[kAlpha]));
      }
      pixel[kAlpha] = static_cast<char>(RoundedQuotient(sums[kAlpha], area));
    }
  }
  return shrunk;
}

Bytes IconBitmap(const RgbaPixels& pixels) {
  Bytes bitmap;
  AppendU32(bitmap, kBitmapHeaderSize);
  AppendU32(bitmap, pixels.width);
  AppendU32(bitmap, 2 * pixels.height);  // the colour rows and the mask's
  AppendU16(bitmap, 1);                  // planes
  AppendU16(bitmap, 32);                 // bits per pixel
  bitmap.resize(kBitmapHeaderSize, '\0');  // uncompressed; no size, resolution or palette
  const std::size_t rowBytes = std::size_t{pixels.width} * kChannels;
  for (std::size_t row = pixels.height; row-- > 0;) {
    for (std::size_t at = row * rowBytes; at < (row + 1) * rowBytes; at += kChannels) {
      const char* pixel = &pixels.rgba[at];
      bitmap += {pixel[2], pixel[1], pixel[0], pixel[kAlpha]};
    }
  }
  const std::size_t maskRowBytes = (std::size_t{pixels.width} + 31) / 32 * 4;
  for (std::size_t row = pixels.height; row-- > 0;) {
    Bytes mask(maskRowBytes, '\0');
    for (std::size_t column = 0; column < pixels.width; ++column) {
      if (pixels.rgba[row * rowBytes + column * kChannels + kAlpha] == '\0') {
        mask[column / 8] = static_cast<char>(mask[column / 8] | 0x80 >> (column % 8));
      }
    }
    bitmap += mask;
  }
  return bitmap;
}

std::variant<ConvertedIcon, IconPngFailure> WithRgba8PngImages(std::vector<IconImage> images) {
  ConvertedIcon icon;
  for (IconImage& image : images) {
    const auto header = ReadPngHeader(image.data);
    if (header && !IsRgba8(*header)) {
      auto pixels = Decoded(image.data, *header);
      if (const auto* failure = std::get_if<IconPngFailure>(&pixels)) return *failure;
      image.data = EncodePng(std::get<RgbaPixels>(pixels));
      image.colourCount = 0;
      icon.converted.push_back(Described(*header));
    }
    icon.images.push_back(std::move(image));
  }
  return icon;
}

std::variant<std::vector<IconImage>, IconPngFailure> IconImagesFromLogo(std::string_view png) {
  const auto header = ReadPngHeader(png);
  if (!header) return IconPngFailure{kUndecodable};
  if (header->width != header->height || header->width < kSmallestLogoSide) {
    return IconPngFailure{kLogoShape, header->width, header->height};
  }
  const auto logo = Decoded(png, *header);
  if (const auto* failure = std::get_if<IconPngFailure>(&logo)) return *failure;
  std::vector<IconImage> images;
  for (const std::uint32_t side : kLogoIconSides) {
    const RgbaPixels shrunk = AreaAverage(std::get<RgbaPixels>(logo), side);
    // A side of 256 is stored as 0.
    const auto stored = static_cast<std::uint8_t>(side);
    images.push_back({stored, stored, 0, side == kLogoIconSides[0] ? EncodePng(shrunk) : IconBitmap(shrunk)});
  }
  return images;
}
