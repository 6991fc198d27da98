#include "brand/pe_image.h"

namespace {

constexpr std::size_t kNewHeaderPointerAt = 0x3C;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint16_t kExecutableImage = 0x0002;
constexpr std::uint16_t kDll = 0x2000;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kChecksumOffset = 64;
constexpr std::size_t kCertificateDirectory = 4;
constexpr std::size_t kDirectoryEntrySize = 8;

}  // namespace

std::optional<PeLayout> ReadPeLayout(std::string_view image) {
  if (image.size() < kNewHeaderPointerAt + 4 || !image.starts_with("MZ")) return std::nullopt;
  const std::size_t peAt = ReadU32(image, kNewHeaderPointerAt);
  if (!FitsWithin(image.size(), peAt, 4 + kFileHeaderSize) ||
      image.substr(peAt, 4) != std::string_view("PE\0\0", 4)) {
    return std::nullopt;
  }
  const std::size_t fileHeaderAt = peAt + 4;
  const std::size_t sectionCount = ReadU16(image, fileHeaderAt + 2);
  const std::size_t optionalSize = ReadU16(image, fileHeaderAt + 16);
  const std::uint16_t characteristics = ReadU16(image, fileHeaderAt + 18);
  if ((characteristics & kExecutableImage) == 0 || (characteristics & kDll) != 0) {
    return std::nullopt;
  }
  const std::size_t optionalAt = fileHeaderAt + kFileHeaderSize;
  if (optionalSize < 2 || !FitsWithin(image.size(), optionalAt, optionalSize) ||
      !FitsWithin(image.size(), optionalAt + optionalSize, sectionCount * kSectionHeaderSize)) {
    return std::nullopt;
  }
  const std::size_t headersEnd = optionalAt + optionalSize + sectionCount * kSectionHeaderSize;
  const std::uint16_t magic = ReadU16(image, optionalAt);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return std::nullopt;
  // The two forms differ in their fields' widths before the data directories.
  const std::size_t directoryCountAt = optionalAt + (magic == kPe32Magic ? 92 : 108);
  const std::size_t directoriesAt = directoryCountAt + 4;
  if (directoryCountAt + 4 > optionalAt + optionalSize) return std::nullopt;

  PeLayout layout;
  layout.checksumAt = optionalAt + kChecksumOffset;
  const std::size_t entryAt = directoriesAt + kCertificateDirectory * kDirectoryEntrySize;
  if (ReadU32(image, directoryCountAt) > kCertificateDirectory &&
      entryAt + kDirectoryEntrySize <= optionalAt + optionalSize) {
    layout.certificateEntryAt = entryAt;
    layout.certificateAt = ReadU32(image, entryAt);
    layout.certificateSize = ReadU32(image, entryAt + 4);
    if (layout.certificateSize != 0 &&
        (layout.certificateAt < headersEnd || layout.certificateAt > image.size() ||
         layout.certificateSize != image.size() - layout.certificateAt)) {
      return std::nullopt;
    }
  }
  return layout;
}

Bytes WithoutSignature(Bytes image, const PeLayout& layout) {
  if (layout.certificateSize == 0) return image;
  StoreU32(image, layout.certificateEntryAt, 0);
  StoreU32(image, layout.certificateEntryAt + 4, 0);
  image.resize(layout.certificateAt);
  return image;
}
