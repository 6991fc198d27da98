#include "brand/icon.h"

#include <algorithm>
#include <utility>

#include "brand/png_codec.h"

namespace {

constexpr std::size_t kDirectoryHeaderSize = 6;
constexpr std::size_t kFileEntrySize = 16;
constexpr std::size_t kGroupEntrySize = 14;
constexpr std::uint16_t kIconKind = 1;
constexpr std::size_t kBitmapHeaderSize = 40;
constexpr std::uint32_t kUncompressed = 0;  // BI_RGB
constexpr std::uint32_t kBitFields = 3;     // BI_BITFIELDS: three colour masks follow the header
constexpr std::int64_t kLargestSide = 65536;
constexpr std::string_view kPngEnd = "IEND";

// Where each entry of an icon directory (a file's or a group's) starts. Both
// begin alike: reserved 0, kind 1 (icon), then the count of entries of
// `entrySize` bytes each.
std::variant<std::vector<std::size_t>, IconFileProblem> DirectoryEntries(std::string_view bytes,
                                                                          std::size_t entrySize) {
  if (bytes.size() < kDirectoryHeaderSize || ReadU16(bytes, 0) != 0 || ReadU16(bytes, 2) != kIconKind ||
      ReadU16(bytes, 4) == 0) {
    return IconFileProblem::kNotAnIcon;
  }
  const std::size_t count = ReadU16(bytes, 4);
  if (!FitsWithin(bytes.size(), kDirectoryHeaderSize, count * entrySize)) {
    return IconFileProblem::kTruncated;
  }
  std::vector<std::size_t> entries;
  for (std::size_t index = 0; index < count; ++index) {
    entries.push_back(kDirectoryHeaderSize + index * entrySize);
  }
  return entries;
}

IconImage FormAt(std::string_view bytes, std::size_t entry) {
  IconImage form;
  form.width = static_cast<std::uint8_t>(bytes[entry]);
  form.height = static_cast<std::uint8_t>(bytes[entry + 1]);
  form.colourCount = static_cast<std::uint8_t>(bytes[entry + 2]);
  return form;
}

bool PngComplete(std::string_view data) {
  // Each chunk: its data's length, its type, its data and a CRC.
  constexpr std::size_t kChunkFrame = 12;
  std::size_t at = kPngSignature.size();
  while (FitsWithin(data.size(), at, kChunkFrame)) {
    const std::size_t length = ReadBigEndianU32(data, at);
    if (!FitsWithin(data.size(), at + kChunkFrame, length)) return false;
    if (data.substr(at + 4, 4) == kPngEnd) return true;
    at += kChunkFrame + length;
  }
  return false;
}

bool BitmapComplete(std::string_view data) {
  const auto width = static_cast<std::int32_t>(ReadU32(data, 4));
  const auto doubledHeight = static_cast<std::int32_t>(ReadU32(data, 8));
  const std::uint64_t bits = ReadU16(data, 14);
  const std::uint32_t compression = ReadU32(data, 16);
  const std::uint64_t coloursUsed = ReadU32(data, 32);
  const std::int64_t height = doubledHeight / 2;
  if (width <= 0 || width > kLargestSide || height <= 0 || height > kLargestSide ||
      (compression != kUncompressed && compression != kBitFields)) {
    return false;
  }
  const std::uint64_t masks = compression == kBitFields ? 12 : 0;
  const std::uint64_t palette = coloursUsed != 0 ? coloursUsed : (bits <= 8 ? std::uint64_t{1} << bits : 0);
  const auto rows = static_cast<std::uint64_t>(height);
  const std::uint64_t colourRow = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  const std::uint64_t maskRow = (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  const std::uint64_t withoutMask = kBitmapHeaderSize + masks + 4 * palette + colourRow * rows;
  return data.size() >= withoutMask + (bits == 32 ? 0 : maskRow * rows);
}

// Whether the images' runs of bytes overlap one another or the directory,
// which ends at `directoryEnd`.
bool ImagesOverlap(std::vector<std::pair<std::size_t, std::size_t>> spans, std::size_t directoryEnd) {
  std::sort(spans.begin(), spans.end());
  std::size_t end = directoryEnd;
  for (const auto& [at, size] : spans) {
    if (at < end) return true;
    end = at + size;
  }
  return false;
}

}  // namespace

bool IconImageComplete(std::string_view data) {
  if (!IconImageBits(data)) return false;
  return data.starts_with(kPngSignature) ? PngComplete(data) : BitmapComplete(data);
}

std::optional<std::uint16_t> IconImageBits(std::string_view data) {
  if (data.starts_with(kPngSignature)) {
    const auto header = ReadPngHeader(data);
    if (!header) return std::nullopt;
    switch (header->colour) {
      case PngColour::kGrey: case PngColour::kPalette: return header->depth;
      case PngColour::kRgb: return static_cast<std::uint16_t>(3 * header->depth);
      case PngColour::kGreyAlpha: return static_cast<std::uint16_t>(2 * header->depth);
      case PngColour::kRgba: break;
    }
    return static_cast<std::uint16_t>(4 * header->depth);
  }
  if (data.size() < kBitmapHeaderSize || ReadU32(data, 0) != kBitmapHeaderSize) return std::nullopt;
  const std::uint16_t bits = ReadU16(data, 14);
  if (bits == 0) return std::nullopt;
  return bits;
}

std::variant<std::vector<IconImage>, IconFileProblem> ParseIconFile(std::string_view file) {
  // A file that stops before its header ends is cut short only when what it
  // has agrees with an icon header.
  constexpr std::string_view kHeaderStart("\0\0\1\0", 4);
  if (file.size() < kDirectoryHeaderSize) {
    return kHeaderStart.starts_with(file) || file.starts_with(kHeaderStart)
               ? IconFileProblem::kTruncated
               : IconFileProblem::kNotAnIcon;
  }
  const auto entries = DirectoryEntries(file, kFileEntrySize);
  if (const auto* problem = std::get_if<IconFileProblem>(&entries)) return *problem;
  const auto& entryAts = std::get<std::vector<std::size_t>>(entries);
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  for (const std::size_t entry : entryAts) {
    spans.emplace_back(ReadU32(file, entry + 12), ReadU32(file, entry + 8));
    if (!FitsWithin(file.size(), spans.back().first, spans.back().second)) return IconFileProblem::kTruncated;
  }
  // Checked before any image is copied: entries naming one image many times
  // would otherwise multiply it.
  if (ImagesOverlap(spans, kDirectoryHeaderSize + entryAts.size() * kFileEntrySize)) {
    return IconFileProblem::kOverlappingImages;
  }
  std::vector<IconImage> images;
  for (std::size_t index = 0; index < entryAts.size(); ++index) {
    const std::string_view data = file.substr(spans[index].first, spans[index].second);
    if (!IconImageBits(data)) return IconFileProblem::kNotAnIcon;
    if (!IconImageComplete(data)) return IconFileProblem::kIncompleteImage;
    IconImage image = FormAt(file, entryAts[index]);
    image.data = Bytes(data);
    images.push_back(std::move(image));
  }
  return images;
}

std::optional<std::vector<IconGroupEntry>> ParseIconGroup(std::string_view group) {
  const auto entries = DirectoryEntries(group, kGroupEntrySize);
  if (!std::holds_alternative<std::vector<std::size_t>>(entries)) return std::nullopt;
  std::vector<IconGroupEntry> read;
  for (const std::size_t entry : std::get<std::vector<std::size_t>>(entries)) {
    read.push_back({FormAt(group, entry), ReadU16(group, entry + 12), ReadU16(group, entry + 6)});
  }
  return read;
}

Bytes IconGroupResource(const std::vector<IconImage>& images, std::uint16_t firstImageId) {
  Bytes group;
  AppendU16(group, 0);
  AppendU16(group, kIconKind);
  AppendU16(group, static_cast<std::uint16_t>(images.size()));
  std::uint16_t imageId = firstImageId;
  for (const IconImage& image : images) {
    group.push_back(static_cast<char>(image.width));
    group.push_back(static_cast<char>(image.height));
    group.push_back(static_cast<char>(image.colourCount));
    group.push_back('\0');
    AppendU16(group, 1);
    AppendU16(group, IconImageBits(image.data).value_or(0));
    AppendU32(group, static_cast<std::uint32_t>(image.data.size()));
    AppendU16(group, imageId++);
  }
  return group;
}
