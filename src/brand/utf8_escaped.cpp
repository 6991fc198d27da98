#include "brand/utf8_escaped.h"

#include <cstdint>

#include "text/utf8_sequence.h"

namespace {

constexpr char16_t kEscapedByte = 0xDC00;

void AppendUtf8(std::string& out, std::uint32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
    return;
  }
  const int continuations = codePoint < 0x800 ? 1 : codePoint < 0x10000 ? 2 : 3;
  constexpr unsigned char kLeads[] = {0, 0xC0, 0xE0, 0xF0};
  out.push_back(static_cast<char>(kLeads[continuations] | (codePoint >> (6 * continuations))));
  for (int k = continuations - 1; k >= 0; --k) {
    out.push_back(static_cast<char>(0x80 | ((codePoint >> (6 * k)) & 0x3F)));
  }
}

}  // namespace

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

bool IsPairAt(std::u16string_view text, std::size_t at) {
  return text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
         text[at + 1] <= 0xDFFF;
}

WideText DecodeUtf8Escaped(std::string_view bytes) {
  WideText text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto sequence = utf8::SequenceAt(bytes, i);
    if (sequence) {
      utf8::AppendCodePoint(text, sequence->first);
      i += sequence->second;
    } else {
      text.push_back(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(bytes[i++])));
    }
  }
  return text;
}

std::string EncodeUtf8Escaped(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsPairAt(text, i)) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800u) << 10) + (text[++i] - 0xDC00u));
    } else if (unit >= kEscapedByte + 0x80 && unit <= kEscapedByte + 0xFF) {
      out.push_back(static_cast<char>(unit - kEscapedByte));
    } else {
      AppendUtf8(out, IsSurrogate(unit) ? 0xFFFDu : unit);
    }
  }
  return out;
}

bool IsWellFormedUtf16(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsPairAt(text, i)) {
      ++i;
    } else if (IsSurrogate(text[i])) {
      return false;
    }
  }
  return true;
}
