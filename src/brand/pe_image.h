#pragma once

// A Windows program file (PE32 or PE32+) as the branding tool reads and
// rewrites it: its headers, section table and data directories, and the
// resource section that a branded copy replaces.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "brand/bytes.h"
#include "brand/resource_section.h"

struct PeSection {
  std::size_t headerAt = 0;  // file offset of its entry in the section table
  std::uint32_t address = 0;
  std::uint32_t size = 0;    // in memory
  std::uint32_t rawAt = 0;   // its data in the file
  std::uint32_t rawSize = 0;
};

// A data directory: an address (a file offset for the certificate table)
// and a size.
struct PeDirectory {
  std::uint32_t address = 0;
  std::uint32_t size = 0;
};

inline constexpr std::size_t kResourceDirectory = 2;
inline constexpr std::size_t kCertificateDirectory = 4;
inline constexpr std::size_t kRelocationDirectory = 5;

struct PeImage {
  bool isProgram = false;       // an executable image, not a DLL
  std::uint16_t machine = 0;    // 0x8664 for x86-64
  bool isPe32Plus = false;      // the 64-bit form of the optional header
  std::uint16_t subsystem = 0;  // 2 for a GUI program
  bool hasSymbolTable = false;  // a COFF symbol table, as debug builds carry
  std::size_t optionalAt = 0;   // the optional header
  std::uint32_t sectionAlignment = 0;
  std::uint32_t fileAlignment = 0;
  std::size_t directoriesAt = 0;
  std::vector<PeDirectory> directories;
  std::vector<PeSection> sections;  // in the table's order, which is address order
  std::size_t headersEnd = 0;       // where the section table ends
  std::size_t sectionsEnd = 0;      // where the last of the sections' data ends
  std::size_t certificateAt = 0;    // the signature; both 0 when unsigned
  std::size_t certificateSize = 0;
};

// The headers of `file` when it is a PE32 or PE32+ image: an MZ header
// leading to a PE header, an optional header with at most 16 data
// directories, power-of-two alignments, sections in ascending address order
// that do not overlap and whose data lies within the file after the section
// table, and a certificate
// table, if any, that ends the file after every section's data. nullopt
// otherwise. Never reads outside `file`.
std::optional<PeImage> ReadPeImage(std::string_view file);

// The texts that every launcher's code carries, in UTF-16LE: its error box's
// caption and the start of its first message. Branding never changes them.
inline constexpr std::u16string_view kLauncherTexts[] = {u"Application Launch Error",
                                                          u"Cannot find an EXE in the command line "};

// Whether `image`, read from `file`, is a launcher or a branded copy of one:
// a PE32+ x86-64 GUI program whose sections other than the resource section
// hold each of kLauncherTexts in their data. Launchers of older builds pass
// too, and a program that merely has the launcher's resources does not.
bool IsLauncher(std::string_view file, const PeImage& image);

// The directory `index`, or an empty one when the image has fewer.
PeDirectory DirectoryOf(const PeImage& image, std::size_t index);

// The resources of the image, in the order its resource tree lists them;
// empty when it has no resource directory. nullopt when the directory lies
// outside the image's sections or its tree is malformed (ReadResourceTree).
std::optional<std::vector<Resource>> ReadResources(std::string_view file, const PeImage& image);

enum class ResourceRewriteProblem {
  kNoResourceSection,   // no resource directory, or one that does not start a section of its own
  kSymbolTable,         // a COFF symbol table, whose offsets the rewrite would break
  kDataAfterResources,  // a section other than the relocations' follows the resource section,
                        // or another directory points into or after it
  kDataAfterSections,   // bytes after the last section's data, other than the signature
  kTooLarge,            // the copy would exceed what the format can address
};

// Why `file` cannot take a new resource section (see WithResources); nothing
// when it can.
std::optional<ResourceRewriteProblem> ResourceRewriteProblemOf(std::string_view file, const PeImage& image);

// `file` with its resource section holding `resources` (no two of which
// share type, name and language) in place of the old: the section keeps its
// place and address; the relocation section, the one section allowed after
// it, moves up or down to follow it, at an address aligned to the
// SectionAlignment, and its directory with it; the resource directory's
// size, SizeOfImage, SizeOfInitializedData and the two sections' headers are
// updated; the signature is removed with its directory entry; and the header
// checksum is computed anew. Every other byte stays as it was. The problem
// when ResourceRewriteProblemOf names one, or the copy is too large.
std::variant<Bytes, ResourceRewriteProblem> WithResources(std::string_view file, const PeImage& image,
                                                          const std::vector<Resource>& resources);

// The header checksum of `file`, whose CheckSum field is at `checksumAt`:
// the one's-complement sum of its 16-bit little-endian words with the carries
// folded in, the field read as zero and an odd last byte padded with zero,
// plus the file's length.
std::uint32_t ImageChecksum(std::string_view file, std::size_t checksumAt);

// Where the CheckSum field of `image` lies.
std::size_t ChecksumAt(const PeImage& image);
