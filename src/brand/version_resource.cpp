#include "brand/version_resource.h"

#include <algorithm>
#include <utility>

#include "text/text.h"

namespace {

constexpr std::size_t kBlockHeaderSize = 6;
constexpr std::u16string_view kRootKey = u"VS_VERSION_INFO";
constexpr std::u16string_view kStringFileInfo = u"StringFileInfo";
constexpr std::u16string_view kVarFileInfo = u"VarFileInfo";
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kFixedSize = 52;
constexpr std::size_t kFixedFileVersionAt = 8;
constexpr std::size_t kFixedProductVersionAt = 16;
// Root, StringFileInfo, string table, string: deeper nesting is not a version
// resource, and the limit keeps a hostile file from exhausting the stack.
constexpr int kDeepestBlock = 8;
constexpr std::size_t kLongestBlock = 0xFFFF;

std::size_t AlignedToFour(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

// The block at `at`, which must end by `limit`; its end is stored in `end`.
std::optional<VersionBlock> ParseBlock(std::string_view resource, std::size_t at,
                                       std::size_t limit, int depth, std::size_t& end) {
  if (depth > kDeepestBlock || !FitsWithin(limit, at, kBlockHeaderSize)) return std::nullopt;
  const std::size_t length = ReadU16(resource, at);
  const std::size_t valueLength = ReadU16(resource, at + 2);
  if (length < kBlockHeaderSize || !FitsWithin(limit, at, length)) return std::nullopt;
  end = at + length;

  VersionBlock block;
  block.isText = ReadU16(resource, at + 4) == 1;
  std::size_t cursor = at + kBlockHeaderSize;
  for (;; cursor += 2) {
    if (cursor + 2 > end) return std::nullopt;
    const char16_t unit = ReadU16(resource, cursor);
    if (unit == u'\0') break;
    block.key.push_back(unit);
  }
  cursor = AlignedToFour(cursor + 2);
  // Some resource compilers count a string's value in bytes rather than in
  // code units; a value is never taken beyond its block, and text is whole
  // code units.
  const std::size_t valueBytes = block.isText ? 2 * valueLength : valueLength;
  if (cursor < end) {
    const std::size_t room = block.isText ? (end - cursor) & ~std::size_t{1} : end - cursor;
    block.value = Bytes(resource.substr(cursor, std::min(valueBytes, room)));
    cursor = AlignedToFour(cursor + block.value.size());
  }
  while (cursor < end) {
    std::size_t childEnd = 0;
    auto child = ParseBlock(resource, cursor, end, depth + 1, childEnd);
    if (!child) return std::nullopt;
    block.children.push_back(std::move(*child));
    cursor = AlignedToFour(childEnd);
  }
  return block;
}

void PadToFour(Bytes& bytes) { bytes.resize(AlignedToFour(bytes.size()), '\0'); }

// Appends `block` at the end of `out`, which is four-byte aligned; false when
// it is too long for its length field.
bool AppendBlock(Bytes& out, const VersionBlock& block) {
  const std::size_t start = out.size();
  AppendU32(out, 0);  // length and value length, stored below
  AppendU16(out, block.isText ? 1 : 0);
  AppendUtf16(out, block.key);
  AppendU16(out, 0);
  PadToFour(out);
  out += block.value;
  for (const VersionBlock& child : block.children) {
    PadToFour(out);
    if (!AppendBlock(out, child)) return false;
  }
  if (out.size() - start > kLongestBlock) return false;
  const std::size_t valueLength = block.isText ? block.value.size() / 2 : block.value.size();
  out[start] = static_cast<char>((out.size() - start) & 0xFF);
  out[start + 1] = static_cast<char>((out.size() - start) >> 8);
  out[start + 2] = static_cast<char>(valueLength & 0xFF);
  out[start + 3] = static_cast<char>(valueLength >> 8);
  return true;
}

VersionBlock& ChildNamed(VersionBlock& parent, std::u16string_view key, bool isText) {
  for (VersionBlock& child : parent.children) {
    if (child.key == key) return child;
  }
  parent.children.push_back({WideText(key), isText, {}, {}});
  return parent.children.back();
}

Bytes TextValue(std::u16string_view text) {
  Bytes value;
  AppendUtf16(value, text);
  AppendU16(value, 0);
  return value;
}

FileVersion VersionAt(std::string_view fixed, std::size_t at) {
  const std::uint32_t high = ReadU32(fixed, at);
  const std::uint32_t low = ReadU32(fixed, at + 4);
  return {static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high),
          static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low)};
}

// What a new application's resource starts from: the fixed part, an empty US
// English Unicode string table and its translation.
VersionBlock NewVersionResource() {
  VersionBlock root{WideText(kRootKey), false, {}, {}};
  AppendU32(root.value, kFixedSignature);
  AppendU32(root.value, 0x00010000);  // structure version 1.0
  for (int part = 0; part < 4; ++part) AppendU32(root.value, 0);
  AppendU32(root.value, 0x3F);     // every defined flag is meaningful
  AppendU32(root.value, 0);        // no flags
  AppendU32(root.value, 0x40004);  // Windows NT, 32-bit API
  AppendU32(root.value, 1);        // an application
  AppendU32(root.value, 0);        // no subtype
  AppendU32(root.value, 0);        // no date
  AppendU32(root.value, 0);
  VersionBlock table{u"040904b0", true, {}, {}};
  root.children.push_back({WideText(kStringFileInfo), true, {}, {table}});
  VersionBlock translation{u"Translation", false, {}, {}};
  AppendU16(translation.value, 0x0409);
  AppendU16(translation.value, 1200);
  root.children.push_back({WideText(kVarFileInfo), true, {}, {translation}});
  return root;
}

}  // namespace

std::optional<VersionBlock> ParseVersionResource(std::string_view resource) {
  std::size_t end = 0;
  return ParseBlock(resource, 0, resource.size(), 0, end);
}

std::optional<Bytes> SerializeVersionResource(const VersionBlock& root) {
  Bytes out;
  if (!AppendBlock(out, root)) return std::nullopt;
  return out;
}

std::vector<WideText> VersionStrings(const VersionBlock& root, std::u16string_view key) {
  std::vector<WideText> values;
  for (const VersionBlock& info : root.children) {
    if (info.key != kStringFileInfo) continue;
    for (const VersionBlock& table : info.children) {
      for (const VersionBlock& string : table.children) {
        if (string.key == key) values.push_back(StringText(string));
      }
    }
  }
  return values;
}

WideText StringText(const VersionBlock& string) {
  WideText text;
  for (std::size_t at = 0; at + 1 < string.value.size() && ReadU16(string.value, at) != 0; at += 2) {
    text.push_back(ReadU16(string.value, at));
  }
  return text;
}

bool HasFixedPart(const VersionBlock& root) {
  return root.key == kRootKey && root.value.size() >= kFixedSize && ReadU32(root.value, 0) == kFixedSignature;
}

FixedVersions FixedVersionsOf(const VersionBlock& root) {
  return {VersionAt(root.value, kFixedFileVersionAt), VersionAt(root.value, kFixedProductVersionAt)};
}

WideText VersionText(const FileVersion& version) {
  WideText text;
  for (const std::uint16_t part : version) {
    if (!text.empty()) text.push_back(u'.');
    text += DecimalText(part);
  }
  return text;
}

std::variant<Bytes, VersionProblem> EditVersionResource(std::optional<std::string_view> source,
                                                        const VersionEdits& edits) {
  std::optional<VersionBlock> parsed = source ? ParseVersionResource(*source) : NewVersionResource();
  if (!parsed || !HasFixedPart(*parsed)) return VersionProblem::kMalformed;
  VersionBlock& root = *parsed;

  std::optional<WideText> versionText;
  if (edits.version) {
    const FileVersion& v = *edits.version;
    for (const std::size_t at : {kFixedFileVersionAt, kFixedProductVersionAt}) {
      StoreU32(root.value, at, static_cast<std::uint32_t>(v[0]) << 16 | v[1]);
      StoreU32(root.value, at + 4, static_cast<std::uint32_t>(v[2]) << 16 | v[3]);
    }
    versionText = VersionText(v);
  }
  const std::optional<WideText> productVersionText = edits.productVersion ? edits.productVersion : versionText;
  const std::pair<std::u16string_view, const std::optional<WideText>*> strings[] = {
      {u"CompanyName", &edits.company},
      {u"FileDescription", &edits.description},
      {u"FileVersion", &versionText},
      {u"LegalCopyright", &edits.copyright},
      {u"LegalTrademarks", &edits.trademarks},
      {u"ProductName", &edits.productName},
      {u"ProductVersion", &productVersionText},
  };
  VersionBlock& stringFileInfo = ChildNamed(root, kStringFileInfo, true);
  if (stringFileInfo.children.empty()) stringFileInfo.children.push_back({u"040904b0", true, {}, {}});
  for (VersionBlock& table : stringFileInfo.children) {
    for (const auto& [key, value] : strings) {
      if (*value) ChildNamed(table, key, true).value = TextValue(**value);
    }
    for (const std::u16string_view key : {u"InternalName", u"OriginalFilename"}) {
      ChildNamed(table, key, true).value = TextValue(edits.fileName);
    }
  }
  std::optional<Bytes> edited = SerializeVersionResource(root);
  if (!edited) return VersionProblem::kTooLong;
  return *std::move(edited);
}

std::optional<FileVersion> ParseFileVersion(std::u16string_view text) {
  FileVersion version{};
  std::size_t part = 0;
  std::uint32_t value = 0;
  std::size_t digits = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || text[at] == u'.') {
      if (digits == 0 || part == version.size()) return std::nullopt;
      version[part++] = static_cast<std::uint16_t>(value);
      value = 0;
      digits = 0;
    } else if (text[at] >= u'0' && text[at] <= u'9') {
      value = value * 10 + static_cast<std::uint32_t>(text[at] - u'0');
      if (value > 0xFFFF) return std::nullopt;
      ++digits;
    } else {
      return std::nullopt;
    }
  }
  // The parts not given stay 0.
  return version;
}
