#include "brand/show.h"

#include <algorithm>
#include <optional>

#include "brand/brand_platform.h"
#include "brand/branded_resources.h"
#include "brand/icon.h"
#include "brand/pe_image.h"
#include "brand/version_resource.h"
#include "launch/text.h"

namespace {

// Every offset in a Windows program is 32 bits wide.
constexpr std::size_t kLargestProgram = 0xFFFFFFFF;
constexpr std::u16string_view kRootKey = u"VS_VERSION_INFO";
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kFixedSize = 52;
constexpr std::size_t kFixedFileVersionAt = 8;
constexpr std::size_t kFixedProductVersionAt = 16;
constexpr std::uint16_t kSquareOf256 = 256;  // what a size of 0 stands for

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
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
    if (IsHighSurrogate(unit) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
      shown.append({unit, text[++at]});
    } else if (IsControl(unit) || IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
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

// A string's value as Windows returns it: UTF-16 up to the first NUL, since
// writers count its length in bytes or in characters.
WideText TextUpToNul(std::string_view value) {
  WideText text;
  for (std::size_t at = 0; at + 2 <= value.size(); at += 2) {
    const char16_t unit = ReadU16(value, at);
    if (unit == u'\0') break;
    text.push_back(unit);
  }
  return text;
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

WideText VersionNumbers(std::string_view fixed, std::size_t at) {
  const std::uint32_t high = ReadU32(fixed, at);
  const std::uint32_t low = ReadU32(fixed, at + 4);
  return DecimalText(high >> 16) + u"." + DecimalText(high & 0xFFFF) + u"." + DecimalText(low >> 16) + u"." +
         DecimalText(low & 0xFFFF);
}

// The version lines; the resource must be a VS_VERSION_INFO block with its
// fixed part, as the branding tool requires of the versions it edits.
WideText VersionLines(const Resource* resource) {
  if (resource == nullptr) return Line(u"Version information", u"none");
  const auto root = ParseVersionResource(resource->data);
  if (!root || root->key != kRootKey || root->value.size() < kFixedSize ||
      ReadU32(root->value, 0) != kFixedSignature) {
    return Line(u"Version information", u"malformed");
  }
  WideText lines;
  if (const VersionBlock* table = ProductNameTable(*root)) {
    for (const VersionBlock& string : table->children) lines += Line(string.key, TextUpToNul(string.value));
  }
  lines += Line(u"Fixed file version", VersionNumbers(root->value, kFixedFileVersionAt));
  lines += Line(u"Fixed product version", VersionNumbers(root->value, kFixedProductVersionAt));
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

bool HasType(const Resource& resource, std::uint16_t type) {
  return resource.type.text.empty() && resource.type.id == type;
}

}  // namespace

std::variant<WideText, BrandProblem> ProgramDetails(std::string_view file) {
  const auto image = ReadPeImage(file);
  if (!image) return BrandProblem::kProgramNotProgram;
  const auto resources = ReadResources(file, *image);
  if (!resources) return BrandProblem::kProgramResourcesMalformed;

  const auto version = std::find_if(resources->begin(), resources->end(),
                                    [](const Resource& resource) { return HasType(resource, kVersionType); });
  WideText details = VersionLines(version == resources->end() ? nullptr : &*version);
  for (const Resource& resource : *resources) {
    if (HasType(resource, kIconGroupType)) details += IconGroupLine(resource);
  }
  const std::size_t checksumAt = ChecksumAt(*image);
  details += Line(u"Signature", image->certificateSize != 0 ? u"yes" : u"no");
  details += Line(u"Checksum", ReadU32(file, checksumAt) == ImageChecksum(file, checksumAt) ? u"right" : u"wrong");
  return details;
}

BrandToolRun ShowToolRun(const WideText& path) {
  const auto read = ReadFileBytes(path, kLargestProgram);
  std::optional<BrandFailure> failure;
  if (std::holds_alternative<FileTooLarge>(read)) {
    failure = BrandFailure{BrandProblem::kProgramTooLarge, path};
  } else if (const auto* error = std::get_if<SystemError>(&read)) {
    failure = IsMissingFile(*error) ? BrandFailure{BrandProblem::kProgramMissing, path}
                                    : BrandFailure{BrandProblem::kProgramUnreadable, path, *error};
  } else {
    const auto details = ProgramDetails(std::get<Bytes>(read));
    if (const auto* text = std::get_if<WideText>(&details)) return {0, *text, {}};
    failure = BrandFailure{std::get<BrandProblem>(details), path};
  }
  return {1, {}, FailureMessage(*failure) + u"\n"};
}
