#include "launch/text.h"

#include <cstdint>

std::optional<std::size_t> FindFirst(std::u16string_view text,
                                     std::u16string_view pattern,
                                     std::size_t from) {
  if (pattern.empty()) return std::nullopt;
  const std::size_t position = text.find(pattern, from);
  if (position == std::u16string_view::npos) return std::nullopt;
  return position;
}

std::optional<std::size_t> FindLast(std::u16string_view text, char16_t unit) {
  const std::size_t position = text.rfind(unit);
  if (position == std::u16string_view::npos) return std::nullopt;
  return position;
}

namespace {

char16_t FoldAsciiCase(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

}  // namespace

bool EqualFoldingAsciiCase(std::u16string_view first, std::u16string_view second) {
  if (first.size() != second.size()) return false;
  for (std::size_t i = 0; i < first.size(); ++i) {
    if (FoldAsciiCase(first[i]) != FoldAsciiCase(second[i])) return false;
  }
  return true;
}

std::optional<std::size_t> FindFirstExe(std::u16string_view text) {
  constexpr std::u16string_view kExe = u".exe";
  for (std::size_t at = 0; at + kExe.size() <= text.size(); ++at) {
    if (EqualFoldingAsciiCase(text.substr(at, kExe.size()), kExe)) return at;
  }
  return std::nullopt;
}

WideText DecimalText(std::uint32_t value) {
  WideText digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// How many continuation bytes follow `lead`, or -1 for a byte that cannot
// start a sequence (a stray continuation, or 0xC0, 0xC1, 0xF5 to 0xFF).
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

// The smallest code point each sequence length may carry; anything below is
// an overlong form.
constexpr std::uint32_t kMinimumCodePoint[] = {0, 0x80, 0x800, 0x10000};

void AppendCodePoint(WideText& text, std::uint32_t codePoint) {
  if (codePoint < 0x10000) {
    text.push_back(static_cast<char16_t>(codePoint));
    return;
  }
  const std::uint32_t offset = codePoint - 0x10000;
  text.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
  text.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
}

}  // namespace

std::optional<WideText> DecodeUtf8(std::string_view bytes) {
  WideText text;
  text.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const int count = ContinuationCount(lead);
    if (count < 0 || bytes.size() - i <= static_cast<std::size_t>(count))
      return std::nullopt;
    std::uint32_t codePoint = count == 0 ? lead : lead & (0x3Fu >> count);
    for (int k = 1; k <= count; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
      if (!IsContinuation(next)) return std::nullopt;
      codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < kMinimumCodePoint[count] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF))
      return std::nullopt;
    AppendCodePoint(text, codePoint);
    i += static_cast<std::size_t>(count) + 1;
  }
  return text;
}
