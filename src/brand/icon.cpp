#include "brand/icon.h"

namespace {

constexpr std::size_t kDirectoryHeaderSize = 6;
constexpr std::size_t kFileEntrySize = 16;
constexpr std::size_t kGroupEntrySize = 14;
constexpr std::uint16_t kIconKind = 1;
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";
// The PNG signature, then the IHDR chunk's length and type, width, height,
// bit depth and colour type.
constexpr std::size_t kPngHeaderSize = 26;
constexpr std::size_t kBitmapHeaderSize = 40;

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

}  // namespace

std::optional<std::uint16_t> IconImageBits(std::string_view data) {
  if (data.starts_with(kPngSignature)) {
    if (data.size() < kPngHeaderSize || data.substr(12, 4) != "IHDR") return std::nullopt;
    const auto depth = static_cast<unsigned char>(data[24]);
    switch (static_cast<unsigned char>(data[25])) {
      case 0: case 3: return depth;
      case 2: return static_cast<std::uint16_t>(3 * depth);
      case 4: return static_cast<std::uint16_t>(2 * depth);
      case 6: return static_cast<std::uint16_t>(4 * depth);
      default: return std::nullopt;
    }
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
  std::vector<IconImage> images;
  for (const std::size_t entry : std::get<std::vector<std::size_t>>(entries)) {
    const std::size_t size = ReadU32(file, entry + 8);
    const std::size_t offset = ReadU32(file, entry + 12);
    if (!FitsWithin(file.size(), offset, size)) return IconFileProblem::kTruncated;
    IconImage image = FormAt(file, entry);
    image.data = Bytes(file.substr(offset, size));
    if (!IconImageBits(image.data)) return IconFileProblem::kNotAnIcon;
    images.push_back(std::move(image));
  }
  return images;
}

std::optional<std::vector<IconGroupEntry>> ParseIconGroup(std::string_view group) {
  const auto entries = DirectoryEntries(group, kGroupEntrySize);
  if (!std::holds_alternative<std::vector<std::size_t>>(entries)) return std::nullopt;
  std::vector<IconGroupEntry> read;
  for (const std::size_t entry : std::get<std::vector<std::size_t>>(entries)) {
    read.push_back({FormAt(group, entry), ReadU16(group, entry + 12)});
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
