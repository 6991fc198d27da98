#pragma once

// The version resource (VS_VERSIONINFO): a tree of blocks, each a key, a value
// and child blocks, that holds the fixed version numbers and the strings the
// shell shows in a file's properties.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "brand/bytes.h"

// One block. `isText` is the block's type word: its value is UTF-16 text, and
// its stored value length counts code units, not bytes.
struct VersionBlock {
  WideText key;
  bool isText = false;
  Bytes value;
  std::vector<VersionBlock> children;
};

// The block tree of a version resource; nullopt when a block's lengths do not
// fit inside its parent, a key is not terminated, or blocks nest deeper than
// any version resource does (8). Never reads outside `resource`.
std::optional<VersionBlock> ParseVersionResource(std::string_view resource);

// The resource form of `root`: each block as its header, key, value and
// children, every part after the header aligned to four bytes from the start.
// nullopt when a block would be longer than its 16-bit length can say.
std::optional<Bytes> SerializeVersionResource(const VersionBlock& root);

// The values of the string `key` in the string tables of `root`'s
// StringFileInfo, in their order, each up to its first NUL.
std::vector<WideText> VersionStrings(const VersionBlock& root, std::u16string_view key);

// A string block's text as Windows returns it: its UTF-16 value up to the
// first NUL, since writers count its length in bytes or in code units.
WideText StringText(const VersionBlock& string);

// A version's four numbers, most significant first.
using FileVersion = std::array<std::uint16_t, 4>;

// The fixed part's two versions.
struct FixedVersions {
  FileVersion file{};
  FileVersion product{};
};

// Whether `root` is a VS_VERSION_INFO block that begins with its fixed part:
// the form the branding tool edits and whose versions FixedVersionsOf reads.
bool HasFixedPart(const VersionBlock& root);

// The fixed part's versions of a `root` that HasFixedPart.
FixedVersions FixedVersionsOf(const VersionBlock& root);

// "a.b.c.d", each number without leading zeros.
WideText VersionText(const FileVersion& version);

// What a branded copy changes in its version resource; an empty field keeps
// what the source has.
struct VersionEdits {
  std::optional<WideText> description = {};  // FileDescription
  std::optional<WideText> productName = {};  // ProductName
  std::optional<WideText> company = {};      // CompanyName
  std::optional<WideText> copyright = {};    // LegalCopyright
  std::optional<WideText> trademarks = {};   // LegalTrademarks
  std::optional<FileVersion> version = {};   // FileVersion and ProductVersion, fixed and text
  std::optional<WideText> productVersion = {};  // the ProductVersion text in place of the version's
  WideText fileName = {};                    // InternalName and OriginalFilename
};

enum class VersionProblem {
  kMalformed,  // the source's resource is not a version resource
  kTooLong,    // the edited texts do not fit a version resource (64 KiB)
};

// `source` (a version resource, or nullopt for a program without one) with
// the edits made in every string table and, for a version, in the fixed part;
// a string the table lacks is added at its end. Without a source, the result
// is a new resource for an application: version 0.0.0.0 unless edited, one
// US English Unicode string table and its translation entry. Everything not
// edited is kept as it was.
std::variant<Bytes, VersionProblem> EditVersionResource(std::optional<std::string_view> source,
                                                        const VersionEdits& edits);

// "A", "A.B", "A.B.C" or "A.B.C.D", each part a decimal number from 0 to
// 65535 (leading zeros allowed), the parts not given 0; nullopt for anything
// else.
std::optional<FileVersion> ParseFileVersion(std::u16string_view text);
