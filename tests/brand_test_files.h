#pragma once

// Small but complete files for launcher-brand's tests: icon images, .ico
// files and a Windows program to brand.

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
