#pragma once

// Small but complete files for launcher-brand's tests: icon images, .ico
// files and a Windows program to brand.

#include <algorithm>
#include <string>
#include <vector>

#include "brand/icon.h"
#include "brand/pe_image.h"

// A bitmap icon image of `side` pixels square and `bits` per pixel, holding
// exactly its header, palette, colour rows and mask rows, filled with `fill`.
inline Bytes TestBitmap(std::uint32_t side, std::uint16_t bits, char fill = '\x55') {
  Bytes image;
  AppendU32(image, 40);
  AppendU32(image, side);
  AppendU32(image, 2 * side);  // the colour rows and the mask's
  AppendU16(image, 1);
  AppendU16(image, bits);
  image.resize(40, '\0');
  const std::size_t palette = bits <= 8 ? std::size_t{4} << bits : 0;
  const std::size_t colourRow = (side * bits + 31) / 32 * 4;
  const std::size_t maskRow = (side + 31) / 32 * 4;
  return image + Bytes(palette + side * (colourRow + maskRow), fill);
}

// A PNG image's signature, its header chunk for `side` pixels of RGBA, and
// its end chunk, each chunk with a CRC of zeros.
inline Bytes TestPng(std::uint8_t side) {
  using namespace std::string_literals;
  return "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0"s + static_cast<char>(side) + "\0\0\0"s +
         static_cast<char>(side) + "\x08\x06\0\0\0"s + "CRC!"s + "\0\0\0\0IEND"s + "CRC!"s;
}

// The CRC-32 that each PNG chunk ends with.
inline std::uint32_t TestCrc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

inline Bytes BigEndianBytes(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

inline Bytes TestPngChunk(std::string_view type, std::string_view data) {
  const Bytes typed = Bytes(type) + Bytes(data);
  return BigEndianBytes(static_cast<std::uint32_t>(data.size())) + typed + BigEndianBytes(TestCrc32(typed));
}

// A real PNG image of `width` x `height` pixels of `depth` bits per sample
// and PNG colour type `colour`, whose samples, row after row with each row
// padded to whole bytes, are `samples`; `chunks` (PLTE, tRNS) come before its
// data, which is stored in uncompressed deflate blocks.
inline Bytes EncodedTestPng(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colour,
                            std::string_view samples, const Bytes& chunks = {}) {
  const std::uint32_t channels = colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1;
  const std::size_t rowBytes = (std::size_t{width} * channels * depth + 7) / 8;
  Bytes raw;
  for (std::size_t row = 0; row < height; ++row) raw += '\0' + Bytes(samples.substr(row * rowBytes, rowBytes));
  Bytes zlib("\x78\x01", 2);
  for (std::size_t at = 0; at < raw.size(); at += 0xFFFF) {
    const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(0xFFFF, raw.size() - at));
    zlib.push_back(at + length == raw.size() ? '\1' : '\0');
    AppendU16(zlib, length);
    AppendU16(zlib, static_cast<std::uint16_t>(~length));
    zlib += raw.substr(at, length);
  }
  std::uint32_t low = 1;
  std::uint32_t high = 0;
  for (const char byte : raw) {
    low = (low + static_cast<unsigned char>(byte)) % 65521;
    high = (high + low) % 65521;
  }
  zlib += BigEndianBytes(high << 16 | low);
  const Bytes header = BigEndianBytes(width) + BigEndianBytes(height) + Bytes{static_cast<char>(depth),
                       static_cast<char>(colour), '\0', '\0', '\0'};
  return "\x89PNG\r\n\x1a\n" + TestPngChunk("IHDR", header) + chunks + TestPngChunk("IDAT", zlib) +
         TestPngChunk("IEND", "");
}

// A square 8-bit RGBA PNG image of `side` pixels, each `rgba`.
inline Bytes UniformTestPng(std::uint32_t side, std::string_view rgba) {
  Bytes samples;
  for (std::size_t pixel = 0; pixel < std::size_t{side} * side; ++pixel) samples += rgba;
  return EncodedTestPng(side, side, 8, 6, samples);
}

// An .ico file of `images`, stored one after another behind the directory.
inline Bytes TestIconFile(const std::vector<IconImage>& images) {
  Bytes file("\0\0\1\0", 4);
  AppendU16(file, static_cast<std::uint16_t>(images.size()));
  auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const IconImage& image : images) {
    file += {static_cast<char>(image.width), static_cast<char>(image.height),
             static_cast<char>(image.colourCount), '\0'};
    AppendU32(file, 0);  // planes and bits: files often leave them 0
    AppendU32(file, static_cast<std::uint32_t>(image.data.size()));
    AppendU32(file, offset);
    offset += static_cast<std::uint32_t>(image.data.size());
  }
  for (const IconImage& image : images) file += image.data;
  return file;
}

// A 64-bit Windows GUI program (PE32+; PE32 when `pe32`) as the launcher's
// linker lays one out: headers, code at 0x1000 that holds the launcher's
// texts, an empty resource section at 0x2000 and a relocation section at
// 0x3000, 0x200 bytes of file each, and the right header checksum. The 64-bit
// one passes as a launcher.
inline Bytes TestProgram(bool pe32 = false) {
  using namespace std::string_literals;
  constexpr std::size_t kOptionalAt = 0x58;
  // PE32's fields before the data directories are 16 bytes shorter.
  const std::size_t optionalSize = pe32 ? 224 : 240;
  const std::size_t kDirectoriesAt = kOptionalAt + optionalSize - 128;
  const std::size_t kSectionsAt = kOptionalAt + optionalSize;
  Bytes file(0x400, '\0');
  file.replace(0, 2, "MZ");
  StoreU32(file, 0x3C, 0x40);
  file.replace(0x40, 4, std::string("PE\0\0", 4));
  StoreU32(file, 0x44, pe32 ? 0x0003014C : 0x00038664);  // x86 or x86-64, three sections
  StoreU32(file, 0x54, 0x00220000 | static_cast<std::uint32_t>(optionalSize));  // executable
  StoreU32(file, kOptionalAt, pe32 ? 0x010B : 0x020B);
  StoreU32(file, kOptionalAt + 8, 0x400);         // initialised data: resources and relocations
  StoreU32(file, kOptionalAt + 32, 0x1000);       // section alignment
  StoreU32(file, kOptionalAt + 36, 0x200);        // file alignment
  StoreU32(file, kOptionalAt + 56, 0x4000);       // size of image
  StoreU32(file, kOptionalAt + 60, 0x400);        // size of headers
  StoreU16(file, kOptionalAt + 68, 2);            // GUI
  StoreU32(file, kDirectoriesAt - 4, 16);         // data directories
  StoreU32(file, kDirectoriesAt + 2 * 8, 0x2000);  // resources
  StoreU32(file, kDirectoriesAt + 2 * 8 + 4, 16);
  StoreU32(file, kDirectoriesAt + 5 * 8, 0x3000);  // relocations
  StoreU32(file, kDirectoriesAt + 5 * 8 + 4, 12);
  const std::uint32_t sections[3][4] = {{0x1000, 0x10, 0x400, 0x200}, {0x2000, 16, 0x600, 0x200},
                                        {0x3000, 12, 0x800, 0x200}};
  for (std::size_t index = 0; index < 3; ++index) {
    const std::size_t at = kSectionsAt + 40 * index;
    StoreU32(file, at + 8, sections[index][1]);
    StoreU32(file, at + 12, sections[index][0]);
    StoreU32(file, at + 16, sections[index][3]);
    StoreU32(file, at + 20, sections[index][2]);
  }
  Bytes code(0x10, '\xC3');
  for (const std::u16string_view text : kLauncherTexts) AppendUtf16(code, text);
  code.resize(0x200, '\xC3');
  file += code + Bytes(0x200, '\0') + "\0\x10\0\0\x0c\0\0\0\x08\xA0\0\0"s + Bytes(0x200 - 12, '\0');
  StoreU32(file, kOptionalAt + 64, ImageChecksum(file, kOptionalAt + 64));
  return file;
}
