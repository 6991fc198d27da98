// The configuration file's platform functions for the native test build: the
// C library's fopen, and code page 1252 (the ANSI code page of the Windows test
// prefix), so the same expectations hold natively and under Wine. Tests write
// paths in Windows' form; a backslash here stands for the directory separator.

#include <array>
#include <cstdio>
#include <string>

#include "launch/platform.h"
#include "utf8_encoding.h"

namespace {

std::string ToUtf8(const WideText& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t unit = text[i];
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
                      text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (pair) unit = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00);
    AppendUtf8(out, unit);
  }
  return out;
}

// 0x80 to 0x9F of code page 1252; the five unassigned bytes map to themselves,
// as Windows maps them.
constexpr std::array<char16_t, 32> kCodePage1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::FILE* OpenConfigFile(const WideText& path) {
  std::string nativePath = ToUtf8(path);
  for (char& c : nativePath) {
    if (c == '\\') c = '/';
  }
  return std::fopen(nativePath.c_str(), "r");
}

// These streams never translate.
bool ReadBytesFrom(std::FILE* file, long offset) { return std::fseek(file, offset, SEEK_SET) == 0; }

WideText DecodeAnsi(std::string_view bytes) {
  WideText text;
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    text.push_back(value >= 0x80 && value <= 0x9F ? kCodePage1252High[value - 0x80u] : value);
  }
  return text;
}
