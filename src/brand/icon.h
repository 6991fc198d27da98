#pragma once

// Icons as a file holds them (.ico) and as an executable does (an icon group
// naming its images, each a resource of its own).

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "brand/bytes.h"

// One image of an icon: the size and colour count its directory entry gives
// (0 meaning 256 pixels, or more than 255 colours) and its data, a PNG file or
// a device-independent bitmap with its mask.
struct IconImage {
  std::uint8_t width = 0;
  std::uint8_t height = 0;
  std::uint8_t colourCount = 0;
  Bytes data;
  friend bool operator==(const IconImage&, const IconImage&) = default;
};

enum class IconFileProblem {
  kTruncated,         // the file ends inside its directory or inside an image
  kNotAnIcon,         // no icon header, no image, or an image neither PNG nor bitmap
  kIncompleteImage,   // an image holds less than its header promises (IconImageComplete)
  kOverlappingImages, // two images, or an image and the directory, share bytes
};

// The images of an .ico file, in its order and byte for byte. Never reads
// outside `file`; every image is its own run of bytes, so the images together
// are never larger than the file.
std::variant<std::vector<IconImage>, IconFileProblem> ParseIconFile(std::string_view file);

// One entry of an icon group: which image resource it names, and how large.
struct IconGroupEntry {
  IconImage form;  // its size and colour count; no data
  std::uint16_t imageId = 0;
  std::uint16_t bits = 0;  // bits per pixel, as the entry gives them
};

// The entries of an icon group resource, in order; nullopt when it is not a
// well-formed group of at least one image. Never reads outside `group`.
std::optional<std::vector<IconGroupEntry>> ParseIconGroup(std::string_view group);

// The bits per pixel of an icon image, read from its PNG header or bitmap
// header; nullopt for data that is neither.
std::optional<std::uint16_t> IconImageBits(std::string_view data);

// Whether an icon image holds all that its header promises. A PNG image must
// hold its chunks from the signature to IEND (bytes after IEND may follow). A
// bitmap must hold its header; its palette (biClrUsed entries, or 2^bits when
// that is 0 and bits are 8 or fewer); its colour rows, half of biHeight of
// them, each padded to 4 bytes; and its mask rows, which a 32-bit image may
// leave out. Its width and height must be positive and at most 65536, and it
// must be uncompressed (BI_RGB, or BI_BITFIELDS with its three masks).
bool IconImageComplete(std::string_view data);

// The icon group resource naming `images` as the image resources numbered
// from `firstImageId` on, in order. Each entry gives the image's size and
// colour count as `images` do, one plane, and the bits per pixel and byte
// count of its data, so that Windows picks an image by what it really is.
// The images must pass IconImageBits; there are at most 65,535 of them.
Bytes IconGroupResource(const std::vector<IconImage>& images, std::uint16_t firstImageId);
