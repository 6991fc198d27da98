#include "text/text.h"

#include <cstdint>

#include "text/utf8_sequence.h"

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

// Assigned rather than constructed from the view: the construction checks for
// a null pointer, which would link the runtime's exceptions into the launcher.
WideText TextOf(std::u16string_view view) {
  WideText text;
  text.assign(view.data(), view.size());
  return text;
}

namespace {

constexpr std::u16string_view kExe = u".exe";

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

std::optional<std::size_t> FindFirstExe(std::u16string_view text, std::size_t from) {
  for (std::size_t at = from; at + kExe.size() <= text.size(); ++at) {
    if (EqualFoldingAsciiCase(text.substr(at, kExe.size()), kExe)) return at;
  }
  return std::nullopt;
}

bool EndsWithExe(std::u16string_view text) {
  return text.size() >= kExe.size() &&
         EqualFoldingAsciiCase(text.substr(text.size() - kExe.size()), kExe);
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
