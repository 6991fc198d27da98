#include "launch/text.h"

#include <cstdint>

#include "launch/utf8_sequence.h"

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

WideText DecimalText(std::uint32_t value) {
  WideText digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

std::optional<WideText> DecodeUtf8(std::string_view bytes) {
  WideText text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto sequence = utf8::SequenceAt(bytes, i);
    if (!sequence) return std::nullopt;
    utf8::AppendCodePoint(text, sequence->first);
    i += sequence->second;
  }
  return text;
}
