#pragma once

// UTF-8 and UTF-16 bytes for the test programs, which need them to write
// paths and configuration files; the launcher itself only decodes.

#include <string>
#include <string_view>

// Appends the UTF-8 form of `codePoint`, which must be a Unicode scalar value.
inline void AppendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

// `text` as a UTF-16 file stores it: the byte-order mark of the order asked
// for, then each code unit in that order.
template <typename Unit>
std::string Utf16FileBytes(std::basic_string_view<Unit> text, bool bigEndian) {
  static_assert(sizeof(Unit) == 2, "UTF-16 code units");
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const Unit unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>((unit >> 8) & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}
