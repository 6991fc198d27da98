// launcher-brand's readers on arbitrary input: the first byte chooses which,
// the rest is its input. Each gives a value or an error value, never reads
// outside its input, and what it accepts survives a round trip:
//   0  an .ico file: its images' group names them all, as they are; its PNG
//      images that are not 8-bit RGBA become 8-bit RGBA PNG images of the same
//      pixels, the others stay as they are
//   1  an icon group resource
//   2  a version resource: edited, it reads back with the edits in it
//   3  the command line, UTF-16LE words split at U+FFFF: a request names both
//      paths and holds well-formed texts only; a failure is one line
//   4  a program: --show prints one line per detail of what it reads; when its
//      resources read and its layout takes new ones, the copy with one
//      resource changed reads back with exactly the resources asked for, a
//      correct checksum and no signature, and is a launcher exactly when the
//      program is
//   5  the same, with the input as the resource section of a small program
//   6  a logo PNG: the icon made from it holds a 256-pixel 8-bit RGBA PNG
//      image and complete 32-bit bitmaps of the smaller sides, or it is refused
//      for its shape only when it is not square or smaller than 256

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "brand/brand_request.h"
#include "brand/branded_resources.h"
#include "brand/icon.h"
#include "brand/icon_png.h"
#include "brand/pe_image.h"
#include "brand/show.h"
#include "brand/utf8_escaped.h"
#include "brand/version_resource.h"
#include "brand_test_files.h"
#include "fuzz_support.h"

namespace {

void IconFile(std::string_view input) {
  const auto parsed = ParseIconFile(input);
  const auto* images = std::get_if<std::vector<IconImage>>(&parsed);
  if (images == nullptr) return;
  Require(!images->empty() && images->size() == ReadU16(input, 4), "every image of the directory is read");
  const auto entries = ParseIconGroup(IconGroupResource(*images, 1));
  Require(entries && entries->size() == images->size(), "the group names every image");
  for (std::size_t index = 0; index < images->size(); ++index) {
    const IconImage& image = (*images)[index];
    Require(input.find(image.data) != std::string_view::npos, "an image is bytes of the file");
    Require(IconImageBits(image.data).has_value(), "an image is PNG or a bitmap");
    Require((*entries)[index].imageId == index + 1 && (*entries)[index].form.width == image.width,
            "the group names the images in order");
  }
  const auto converted = WithRgba8PngImages(*images);
  const auto* icon = std::get_if<ConvertedIcon>(&converted);
  if (icon == nullptr) return;
  Require(icon->images.size() == images->size(), "conversion keeps every image");
  std::size_t changed = 0;
  for (std::size_t index = 0; index < images->size(); ++index) {
    const Bytes& before = (*images)[index].data;
    const Bytes& after = icon->images[index].data;
    const auto header = ReadPngHeader(before);
    if (!header || IsRgba8(*header)) {
      Require(after == before, "bitmaps and 8-bit RGBA PNG images are kept byte for byte");
      continue;
    }
    ++changed;
    const auto afterHeader = ReadPngHeader(after);
    Require(afterHeader && IsRgba8(*afterHeader), "a converted image is 8-bit RGBA");
    Require(DecodePng(after) == DecodePng(before), "a converted image has the same pixels");
    Require(IconImageComplete(after), "a converted image is complete");
  }
  Require(icon->converted.size() == changed, "the note names each converted image");
}

void Logo(std::string_view input) {
  const auto made = IconImagesFromLogo(input);
  if (const auto* failure = std::get_if<IconPngFailure>(&made)) {
    const auto header = ReadPngHeader(input);
    Require(failure->problem != IconPngProblem::kLogoShape ||
                (header && (header->width != header->height || header->width < kSmallestLogoSide)),
            "only a logo that is not square or too small is refused for its shape");
    return;
  }
  const auto& images = std::get<std::vector<IconImage>>(made);
  Require(images.size() == std::size(kLogoIconSides), "every side is made");
  const auto largest = DecodePng(images.front().data);
  Require(largest && largest->width == 256 && largest->height == 256 && IsRgba8(*ReadPngHeader(images.front().data)),
          "the largest image is a 256-pixel 8-bit RGBA PNG image");
  for (std::size_t index = 1; index < images.size(); ++index) {
    Require(images[index].width == kLogoIconSides[index] && IconImageBits(images[index].data) == 32 &&
                IconImageComplete(images[index].data),
            "the smaller images are complete 32-bit bitmaps of their sides");
  }
}

void VersionResource(std::string_view input) {
  VersionEdits edits;
  edits.description = u"Vandrel Viewer \u2713";
  edits.version = FileVersion{2, 1, 0, 7};
  edits.fileName = u"viewer.exe";
  const auto edited = EditVersionResource(input, edits);
  const auto* bytes = std::get_if<Bytes>(&edited);
  if (bytes == nullptr) return;
  const auto reread = ParseVersionResource(*bytes);
  Require(reread.has_value(), "an edited resource reads back");
  Require(SerializeVersionResource(*reread) == *bytes, "a resource read back writes the same bytes");
  Bytes name;
  AppendUtf16(name, u"viewer.exe");
  Require(bytes->find(name) != Bytes::npos, "the file name is in the edited resource");
}

void Arguments(const std::uint8_t* data, std::size_t size) {
  std::vector<WideText> words(1);
  for (const char16_t unit : Utf16FromBytes(data, size)) {
    if (unit == u'\uFFFF') {
      words.emplace_back();
    } else {
      words.back().push_back(unit);
    }
  }
  const auto parsed = ParseBrandArguments(words);
  if (const auto* failure = std::get_if<BrandFailure>(&parsed)) {
    const WideText line = FailureMessage(*failure);
    Require(line.find_first_of(u"\r\n") == WideText::npos, "a failure is one line");
    return;
  }
  const BrandRequest& request = std::get<BrandRequest>(parsed);
  if (request.helpAsked || request.versionAsked) return;
  if (request.show) {
    Require(words.size() == 2, "--show comes with its file alone");
    return;
  }
  Require(!request.edits.fileName.empty() && request.target.ends_with(request.edits.fileName),
          "the copy's name ends its path");
  Require(!request.iconFile || !request.iconProgram, "one icon at most");
  for (const auto* text : {&request.edits.description, &request.edits.productName, &request.edits.company,
                           &request.edits.copyright, &request.edits.trademarks, &request.edits.productVersion}) {
    Require(!*text || IsWellFormedUtf16(**text), "a version text is well-formed");
  }
}

// What --show prints of a program it reads: lines of "Key: value" without a
// control character, the checksum's last.
void ShowDetails(std::string_view input, bool readable) {
  const auto details = ProgramDetails(input);
  const auto* text = std::get_if<WideText>(&details);
  Require((text != nullptr) == readable, "--show reads what the branding tool reads");
  if (text == nullptr) return;
  std::size_t lineStart = 0;
  for (std::size_t at = 0; at < text->size(); ++at) {
    const char16_t unit = (*text)[at];
    if (unit == u'\n') {
      Require(text->substr(lineStart, at - lineStart).find(u": ") != WideText::npos, "each line is Key: value");
      lineStart = at + 1;
    } else {
      Require(unit >= 0x20 && (unit < 0x7F || unit > 0x9F), "control characters are escaped");
    }
  }
  Require(text->ends_with(u"Checksum: right\n") || text->ends_with(u"Checksum: wrong\n"), "the checksum ends it");
}

void Program(std::string_view input) {
  const auto image = ReadPeImage(input);
  const auto resources = image ? ReadResources(input, *image) : std::nullopt;
  ShowDetails(input, resources.has_value());
  if (!resources) return;
  std::vector<Resource> wanted = *resources;
  if (wanted.empty()) {
    wanted.push_back({{kVersionType, {}}, {1, {}}, 0x0409, "version", 0});
  } else {
    wanted.front().data += "changed";
  }
  const auto rewritten = WithResources(input, *image, wanted);
  const auto* copy = std::get_if<Bytes>(&rewritten);
  if (copy == nullptr) return;
  const auto reread = ReadPeImage(*copy);
  Require(reread.has_value(), "the copy is a program");
  Require(ReadResources(*copy, *reread) == InDirectoryOrder(wanted), "the copy holds the resources asked for");
  Require(ReadU32(*copy, ChecksumAt(*reread)) == ImageChecksum(*copy, ChecksumAt(*reread)), "its checksum is right");
  Require(reread->certificateSize == 0, "it carries no signature");
  Require(IsLauncher(*copy, *reread) == IsLauncher(input, *image), "branding neither makes nor unmakes a launcher");
  Require(reread->sections.size() == image->sections.size(), "it has the sections it had");
  for (const PeSection& section : image->sections) {
    if (section.address >= DirectoryOf(*image, kResourceDirectory).address) break;
    if (section.rawSize == 0) continue;
    Require(copy->substr(section.rawAt, section.rawSize) == input.substr(section.rawAt, section.rawSize),
            "the sections before the resources are kept byte for byte");
  }
}

void ResourceSection(std::string_view input) {
  // TestProgram's resource section: 0x200 bytes of the file from 0x600.
  Bytes program = TestProgram();
  const std::size_t size = std::min<std::size_t>(input.size(), 0x200);
  program.replace(0x600, size, input.substr(0, size));
  StoreU32(program, 0x58 + 240 + 40 + 8, static_cast<std::uint32_t>(std::max<std::size_t>(size, 16)));
  Program(program);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 7) {
    case 0: IconFile(input); break;
    case 1: ParseIconGroup(input); break;
    case 2: VersionResource(input); break;
    case 3: Arguments(data + 1, size - 1); break;
    case 4: Program(input); break;
    case 5: ResourceSection(input); break;
    default: Logo(input); break;
  }
  return 0;
}
