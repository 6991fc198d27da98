#include "brand/show.h"

#include <algorithm>

#include "brand/branded_resources.h"
#include "brand/icon.h"
#include "brand/pe_image.h"
#include "brand/utf8_escaped.h"
#include "brand/version_resource.h"
#include "text/text.h"

namespace {

constexpr std::uint16_t kSquareOf256 = 256;  // what a size of 0 stands for

bool IsControl(char16_t unit) { return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F); }

WideText HexUnit(char16_t unit) {
  constexpr std::u16string_view kDigits = u"0123456789ABCDEF";
  WideText text = u"\\u";
  for (int shift = 12; shift >= 0; shift -= 4) text.push_back(kDigits[(unit >> shift) & 0xF]);
  return text;
}

// A line's text with what would break it or lose its meaning in UTF-8 written
// as \uXXXX.
WideText Escaped(std::u16string_view text) {
  WideText shown;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char16_t unit = text[at];
    if (IsPairAt(text, at)) {
      shown.append({unit, text[++at]});
    } else if (IsControl(unit) || IsSurrogate(unit)) {
      shown += HexUnit(unit);
    } else {
      shown.push_back(unit);
    }
  }
  return shown;
}

WideText Line(std::u16string_view key, std::u16string_view value) {
  return Escaped(key) + u": " + Escaped(value) + u"\n";
}

bool HasKey(const VersionBlock& block, std::u16string_view key) { return EqualFoldingAsciiCase(block.key, key); }

const VersionBlock* ProductNameTable(const VersionBlock& root) {
  for (const VersionBlock& info : root.children) {
    if (!HasKey(info, u"StringFileInfo")) continue;
    for (const VersionBlock& table : info.children) {
      const auto& strings = table.children;
      if (std::any_of(strings.begin(), strings.end(),
                      [](const VersionBlock& string) { return HasKey(string, u"ProductName"); })) {
        return &table;
      }
    }
  }
  return nullptr;
}

// The version lines; the resource must be a VS_VERSION_INFO block with its
// fixed part, as the branding tool requires of the versions it edits.
WideText VersionLines(const Resource* resource) {
  if (resource == nullptr) return Line(u"Version information", u"none");
  const auto root = ParseVersionResource(resource->data);
  if (!root || !HasFixedPart(*root)) return Line(u"Version information", u"malformed");
  WideText lines;
  if (const VersionBlock* table = ProductNameTable(*root)) {
    for (const VersionBlock& string : table->children) lines += Line(string.key, StringText(string));
  }
  const FixedVersions fixed = FixedVersionsOf(*root);
  lines += Line(u"Fixed file version", VersionText(fixed.file));
  lines += Line(u"Fixed product version", VersionText(fixed.product));
  return lines;
}

WideText NameText(const ResourceName& name) { return name.text.empty() ? DecimalText(name.id) : name.text; }

std::uint16_t Side(std::uint8_t stored) { return stored == 0 ? kSquareOf256 : stored; }

WideText IconGroupLine(const Resource& group) {
  const auto entries = ParseIconGroup(group.data);
  if (!entries) return Line(u"Icon group " + NameText(group.name), u"malformed");
  WideText images;
  for (const IconGroupEntry& entry : *entries) {
    if (!images.empty()) images += u", ";
    images += DecimalText(Side(entry.form.width)) + u"x" + DecimalText(Side(entry.form.height)) + u" " +
              DecimalText(entry.bits);
  }
  return Line(u"Icon group " + NameText(group.name), images);
}

}  // namespace

std::variant<WideText, BrandProblem> ProgramDetails(std::string_view file) {
  const auto image = ReadPeImage(file);
  if (!image) return BrandProblem::kProgramNotProgram;
  const auto resources = ReadResources(file, *image);
  if (!resources) return BrandProblem::kProgramResourcesMalformed;

  WideText details = VersionLines(FirstOfType(*resources, kVersionType));
  for (const Resource& resource : *resources) {
    if (HasType(resource, kIconGroupType)) details += IconGroupLine(resource);
  }
  const std::size_t checksumAt = ChecksumAt(*image);
  details += Line(u"Signature", image->certificateSize != 0 ? u"yes" : u"no");
  details += Line(u"Checksum", ReadU32(file, checksumAt) == ImageChecksum(file, checksumAt) ? u"right" : u"wrong");
  return details;
}

BrandToolRun ShowToolRun(const WideText& path) {
  const auto read = ReadProgramFile(path, BrandProblem::kProgramMissing, BrandProblem::kProgramTooLarge,
                                    BrandProblem::kProgramUnreadable);
  if (const auto* failure = std::get_if<BrandFailure>(&read)) return {1, {}, FailureMessage(*failure) + u"\n"};
  const auto details = ProgramDetails(std::get<Bytes>(read));
  if (const auto* problem = std::get_if<BrandProblem>(&details)) {
    return {1, {}, FailureMessage(BrandFailure{*problem, path}) + u"\n"};
  }
  return {0, std::get<WideText>(details), {}};
}
