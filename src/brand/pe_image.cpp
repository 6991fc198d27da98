#include "brand/pe_image.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr std::size_t kNewHeaderPointerAt = 0x3C;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kMostDirectories = 16;
constexpr std::uint16_t kExecutableImage = 0x0002;
constexpr std::uint16_t kDll = 0x2000;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
// Offsets within the optional header.
constexpr std::size_t kInitializedDataAt = 8;
constexpr std::size_t kSectionAlignmentAt = 32;
constexpr std::size_t kFileAlignmentAt = 36;
constexpr std::size_t kSizeOfImageAt = 56;
constexpr std::size_t kChecksumAt = 64;
// The two forms differ in their fields' widths before the data directories.
constexpr std::size_t kPe32DirectoryCountAt = 92;
constexpr std::size_t kPe32PlusDirectoryCountAt = 108;
// Offsets within a section's header.
constexpr std::size_t kSectionSizeAt = 8;
constexpr std::size_t kSectionAddressAt = 12;
constexpr std::size_t kSectionRawSizeAt = 16;
constexpr std::size_t kSectionRawAt = 20;
constexpr std::size_t kSubsystemAt = 68;
constexpr std::uint16_t kAmd64 = 0x8664;
constexpr std::uint16_t kGuiSubsystem = 2;
// Signing pads the file to a multiple of 8 before its certificate table.
constexpr std::size_t kCertificateAlignment = 8;
constexpr std::uint64_t kLargestOffset = 0xFFFFFFFF;

bool IsPowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// A section's size in memory; linkers may leave it 0 and mean its data's.
std::uint64_t SizeInMemory(const PeSection& section) {
  return section.size != 0 ? section.size : section.rawSize;
}

// The section table, when it lies within the file and its sections follow
// one another in memory without overlapping, each one's data within the file
// after the headers, which a rewrite changes.
std::optional<std::vector<PeSection>> ReadSections(std::string_view file, std::size_t tableAt,
                                                   std::size_t count) {
  if (!FitsWithin(file.size(), tableAt, count * kSectionHeaderSize)) return std::nullopt;
  const std::size_t headersEnd = tableAt + count * kSectionHeaderSize;
  std::vector<PeSection> sections;
  std::uint64_t addressEnd = 0;
  for (std::size_t index = 0; index < count; ++index) {
    const std::size_t at = tableAt + index * kSectionHeaderSize;
    const PeSection section{at, ReadU32(file, at + kSectionAddressAt), ReadU32(file, at + kSectionSizeAt),
                            ReadU32(file, at + kSectionRawAt), ReadU32(file, at + kSectionRawSizeAt)};
    if (section.address < addressEnd ||
        (section.rawSize != 0 &&
         (section.rawAt < headersEnd || !FitsWithin(file.size(), section.rawAt, section.rawSize)))) {
      return std::nullopt;
    }
    addressEnd = section.address + SizeInMemory(section);
    sections.push_back(section);
  }
  return sections;
}

void StoreDirectory(Bytes& file, const PeImage& image, std::size_t index, PeDirectory directory) {
  const std::size_t at = image.directoriesAt + index * kDirectoryEntrySize;
  StoreU32(file, at, directory.address);
  StoreU32(file, at + 4, directory.size);
}

bool AllZero(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char byte) { return byte == '\0'; });
}

// The sections a new resource section changes: the resource section and the
// relocation section after it, if any.
struct RewrittenSections {
  PeSection resources;
  std::optional<PeSection> relocations;
};

std::optional<ResourceRewriteProblem> LayoutProblem(std::string_view file, const PeImage& image,
                                                    const RewrittenSections& rewritten) {
  const PeSection& resources = rewritten.resources;
  const auto& relocations = rewritten.relocations;
  const PeDirectory relocationDirectory = DirectoryOf(image, kRelocationDirectory);
  if (relocations &&
      (relocationDirectory.address != relocations->address || relocationDirectory.size != relocations->size ||
       relocations->rawSize == 0 || relocations->rawAt != std::uint64_t{resources.rawAt} + resources.rawSize)) {
    return ResourceRewriteProblem::kDataAfterResources;
  }
  for (const PeSection& section : image.sections) {
    if (section.address < resources.address && section.rawSize != 0 &&
        std::uint64_t{section.rawAt} + section.rawSize > resources.rawAt) {
      return ResourceRewriteProblem::kDataAfterResources;
    }
  }
  for (std::size_t index = 0; index < image.directories.size(); ++index) {
    const bool movesAlong = index == kResourceDirectory || index == kCertificateDirectory ||
                            (index == kRelocationDirectory && relocations);
    if (!movesAlong && image.directories[index].address >= resources.address) {
      return ResourceRewriteProblem::kDataAfterResources;
    }
  }
  const std::size_t contentEnd = image.certificateSize != 0 ? image.certificateAt : file.size();
  if (contentEnd - image.sectionsEnd >= kCertificateAlignment ||
      !AllZero(file.substr(image.sectionsEnd, contentEnd - image.sectionsEnd))) {
    return ResourceRewriteProblem::kDataAfterSections;
  }
  return std::nullopt;
}

std::variant<RewrittenSections, ResourceRewriteProblem> SectionsToRewrite(std::string_view file,
                                                                          const PeImage& image) {
  const std::uint32_t address = DirectoryOf(image, kResourceDirectory).address;
  const auto found = std::find_if(image.sections.begin(), image.sections.end(),
                                  [&](const PeSection& section) { return section.address == address; });
  if (address == 0 || found == image.sections.end() || found->rawSize == 0 || found->rawAt < image.headersEnd) {
    return ResourceRewriteProblem::kNoResourceSection;
  }
  if (image.hasSymbolTable) return ResourceRewriteProblem::kSymbolTable;
  const auto following = image.sections.end() - found - 1;
  if (following > 1) return ResourceRewriteProblem::kDataAfterResources;
  RewrittenSections rewritten{*found, std::nullopt};
  if (following == 1) rewritten.relocations = image.sections.back();
  if (const auto problem = LayoutProblem(file, image, rewritten)) return *problem;
  return rewritten;
}

}  // namespace

std::optional<PeImage> ReadPeImage(std::string_view file) {
  if (file.size() < kNewHeaderPointerAt + 4 || !file.starts_with("MZ")) return std::nullopt;
  const std::size_t peAt = ReadU32(file, kNewHeaderPointerAt);
  if (!FitsWithin(file.size(), peAt, 4 + kFileHeaderSize) ||
      file.substr(peAt, 4) != std::string_view("PE\0\0", 4)) {
    return std::nullopt;
  }
  const std::size_t fileHeaderAt = peAt + 4;
  const std::size_t sectionCount = ReadU16(file, fileHeaderAt + 2);
  const std::size_t optionalSize = ReadU16(file, fileHeaderAt + 16);
  const std::uint16_t characteristics = ReadU16(file, fileHeaderAt + 18);

  PeImage image;
  image.isProgram = (characteristics & kExecutableImage) != 0 && (characteristics & kDll) == 0;
  image.machine = ReadU16(file, fileHeaderAt);
  image.hasSymbolTable = ReadU32(file, fileHeaderAt + 8) != 0 || ReadU32(file, fileHeaderAt + 12) != 0;
  image.optionalAt = fileHeaderAt + kFileHeaderSize;
  if (optionalSize < 2 || !FitsWithin(file.size(), image.optionalAt, optionalSize)) return std::nullopt;
  const std::uint16_t magic = ReadU16(file, image.optionalAt);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return std::nullopt;
  const std::size_t countAt = magic == kPe32Magic ? kPe32DirectoryCountAt : kPe32PlusDirectoryCountAt;
  if (optionalSize < countAt + 4) return std::nullopt;
  image.isPe32Plus = magic == kPe32PlusMagic;
  image.subsystem = ReadU16(file, image.optionalAt + kSubsystemAt);
  const std::size_t directoryCount = ReadU32(file, image.optionalAt + countAt);
  image.directoriesAt = image.optionalAt + countAt + 4;
  if (directoryCount > kMostDirectories || countAt + 4 + directoryCount * kDirectoryEntrySize > optionalSize) {
    return std::nullopt;
  }
  for (std::size_t index = 0; index < directoryCount; ++index) {
    const std::size_t at = image.directoriesAt + index * kDirectoryEntrySize;
    image.directories.push_back({ReadU32(file, at), ReadU32(file, at + 4)});
  }
  image.sectionAlignment = ReadU32(file, image.optionalAt + kSectionAlignmentAt);
  image.fileAlignment = ReadU32(file, image.optionalAt + kFileAlignmentAt);
  if (!IsPowerOfTwo(image.sectionAlignment) || !IsPowerOfTwo(image.fileAlignment) ||
      image.fileAlignment > image.sectionAlignment) {
    return std::nullopt;
  }

  const std::size_t tableAt = image.optionalAt + optionalSize;
  auto sections = ReadSections(file, tableAt, sectionCount);
  if (!sections) return std::nullopt;
  image.sections = std::move(*sections);
  image.headersEnd = tableAt + sectionCount * kSectionHeaderSize;
  image.sectionsEnd = image.headersEnd;
  for (const PeSection& section : image.sections) {
    if (section.rawSize != 0) image.sectionsEnd = std::max<std::size_t>(image.sectionsEnd, section.rawAt + section.rawSize);
  }

  const PeDirectory certificate = DirectoryOf(image, kCertificateDirectory);
  if (certificate.size != 0) {
    if (certificate.address < image.sectionsEnd || certificate.address > file.size() ||
        certificate.size != file.size() - certificate.address) {
      return std::nullopt;
    }
    image.certificateAt = certificate.address;
    image.certificateSize = certificate.size;
  }
  return image;
}

bool IsLauncher(std::string_view file, const PeImage& image) {
  if (!image.isProgram || image.machine != kAmd64 || !image.isPe32Plus || image.subsystem != kGuiSubsystem) {
    return false;
  }
  const std::uint32_t resources = DirectoryOf(image, kResourceDirectory).address;
  const auto held = [&](std::u16string_view text) {
    Bytes wanted;
    AppendUtf16(wanted, text);
    return std::any_of(image.sections.begin(), image.sections.end(), [&](const PeSection& section) {
      const bool holdsResources = resources != 0 && resources >= section.address &&
                                  resources - section.address < SizeInMemory(section);
      return !holdsResources && section.rawSize != 0 &&
             file.substr(section.rawAt, section.rawSize).find(wanted) != std::string_view::npos;
    });
  };
  return std::all_of(std::begin(kLauncherTexts), std::end(kLauncherTexts), held);
}

PeDirectory DirectoryOf(const PeImage& image, std::size_t index) {
  return index < image.directories.size() ? image.directories[index] : PeDirectory{};
}

std::optional<std::vector<Resource>> ReadResources(std::string_view file, const PeImage& image) {
  const PeDirectory directory = DirectoryOf(image, kResourceDirectory);
  if (directory.address == 0) return std::vector<Resource>{};
  for (const PeSection& section : image.sections) {
    // Only the part of a section that the file holds has bytes to read.
    const std::uint64_t held = std::min<std::uint64_t>(SizeInMemory(section), section.rawSize);
    if (directory.address >= section.address && directory.address - section.address < held) {
      return ReadResourceTree(file.substr(section.rawAt, held), section.address,
                              directory.address - section.address);
    }
  }
  return std::nullopt;
}

std::optional<ResourceRewriteProblem> ResourceRewriteProblemOf(std::string_view file, const PeImage& image) {
  const auto rewritten = SectionsToRewrite(file, image);
  if (const auto* problem = std::get_if<ResourceRewriteProblem>(&rewritten)) return *problem;
  return std::nullopt;
}

std::variant<Bytes, ResourceRewriteProblem> WithResources(std::string_view file, const PeImage& image,
                                                          const std::vector<Resource>& resources) {
  const auto rewritten = SectionsToRewrite(file, image);
  if (const auto* problem = std::get_if<ResourceRewriteProblem>(&rewritten)) return *problem;
  const PeSection& old = std::get<RewrittenSections>(rewritten).resources;
  const auto& relocations = std::get<RewrittenSections>(rewritten).relocations;

  const auto section = BuildResourceSection(resources, old.address);
  if (!section) return ResourceRewriteProblem::kTooLarge;
  const std::uint64_t rawSize = AlignUp(section->size(), image.fileAlignment);
  const std::uint64_t relocationsAddress = AlignUp(old.address + section->size(), image.sectionAlignment);
  const std::uint64_t memoryEnd =
      relocations ? relocationsAddress + SizeInMemory(*relocations) : old.address + section->size();
  const std::uint64_t sizeOfImage = AlignUp(memoryEnd, image.sectionAlignment);
  const std::uint64_t fileEnd = old.rawAt + rawSize + (relocations ? relocations->rawSize : 0);
  if (sizeOfImage > kLargestOffset || fileEnd > kLargestOffset) return ResourceRewriteProblem::kTooLarge;

  Bytes copy(file.substr(0, old.rawAt));
  copy += *section;
  copy.resize(old.rawAt + rawSize, '\0');
  if (relocations) copy += file.substr(relocations->rawAt, relocations->rawSize);

  const auto sectionSize = static_cast<std::uint32_t>(section->size());
  StoreU32(copy, old.headerAt + kSectionSizeAt, sectionSize);
  StoreU32(copy, old.headerAt + kSectionRawSizeAt, static_cast<std::uint32_t>(rawSize));
  StoreDirectory(copy, image, kResourceDirectory, {old.address, sectionSize});
  if (relocations) {
    const auto address = static_cast<std::uint32_t>(relocationsAddress);
    StoreU32(copy, relocations->headerAt + kSectionAddressAt, address);
    StoreU32(copy, relocations->headerAt + kSectionRawAt, static_cast<std::uint32_t>(old.rawAt + rawSize));
    StoreDirectory(copy, image, kRelocationDirectory, {address, relocations->size});
  }
  if (image.directories.size() > kCertificateDirectory) {
    StoreDirectory(copy, image, kCertificateDirectory, {});
  }
  StoreU32(copy, image.optionalAt + kSizeOfImageAt, static_cast<std::uint32_t>(sizeOfImage));
  // The linker counts each initialised section's data in the file.
  const std::uint64_t initialized = ReadU32(file, image.optionalAt + kInitializedDataAt);
  if (initialized >= old.rawSize && initialized - old.rawSize + rawSize <= kLargestOffset) {
    StoreU32(copy, image.optionalAt + kInitializedDataAt,
             static_cast<std::uint32_t>(initialized - old.rawSize + rawSize));
  }
  StoreU32(copy, ChecksumAt(image), ImageChecksum(copy, ChecksumAt(image)));
  return copy;
}

std::uint32_t ImageChecksum(std::string_view file, std::size_t checksumAt) {
  const auto byteAt = [&](std::size_t at) -> std::uint32_t {
    if (at >= file.size() || (at >= checksumAt && at - checksumAt < 4)) return 0;
    return static_cast<unsigned char>(file[at]);
  };
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at < file.size(); at += 2) {
    sum += byteAt(at) | byteAt(at + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = ((sum & 0xFFFF) + (sum >> 16)) & 0xFFFF;
  return static_cast<std::uint32_t>(sum + file.size());
}

std::size_t ChecksumAt(const PeImage& image) { return image.optionalAt + kChecksumAt; }
