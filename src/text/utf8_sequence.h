#pragma once

// The pieces of UTF-8 decoding that the launcher and launcher-brand share,
// inline so that each program keeps only what it uses.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "text/wide_text.h"

namespace utf8 {

inline bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// How many continuation bytes follow `lead`, or -1 for a byte that cannot
// start a sequence (a stray continuation, or 0xC0, 0xC1, 0xF5 to 0xFF).
inline int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

// The smallest code point each sequence length may carry; anything below is
// an overlong form.
inline constexpr std::uint32_t kMinimumCodePoint[] = {0, 0x80, 0x800, 0x10000};

// Appends `codePoint`, a Unicode scalar value, as one or two code units.
inline void AppendCodePoint(WideText& text, std::uint32_t codePoint) {
  if (codePoint < 0x10000) {
    text.push_back(static_cast<char16_t>(codePoint));
    return;
  }
  const std::uint32_t offset = codePoint - 0x10000;
  text.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
  text.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
}

// The well-formed sequence at `at`, which lies within `bytes`: its code point
// and its length in bytes; nullopt for anything else.
inline std::optional<std::pair<std::uint32_t, std::size_t>> SequenceAt(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  const int count = ContinuationCount(lead);
  if (count < 0 || bytes.size() - at <= static_cast<std::size_t>(count)) return std::nullopt;
  std::uint32_t codePoint = count == 0 ? lead : lead & (0x3Fu >> count);
  for (int k = 1; k <= count; ++k) {
    const auto next = static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
    if (!IsContinuation(next)) return std::nullopt;
    codePoint = (codePoint << 6) | (next & 0x3Fu);
  }
  if (codePoint < kMinimumCodePoint[count] || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    return std::nullopt;
  return std::pair{codePoint, static_cast<std::size_t>(count) + 1};
}

}  // namespace utf8
