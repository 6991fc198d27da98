// ReadCommandTemplate on any file content (the input's bytes), read through
// the fuzz build's in-memory platform.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_support.h"
#include "launch/config_file.h"
#include "utf8_encoding.h"

namespace {

bool InRange(int byte, int low, int high) {
  return byte >= low && byte <= high;
}

// Well-formed UTF-8, checked against the Unicode Standard's table of
// well-formed byte sequences rather than by decoding.
bool IsWellFormedUtf8(std::string_view bytes) {
  std::size_t i = 0;
  // The byte `k` places on, or -1 past the end, which no range holds.
  const auto at = [&](std::size_t k) -> int {
    return i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : -1;
  };
  while (i < bytes.size()) {
    const int b0 = at(0);
    const bool tail1 = InRange(at(1), 0x80, 0xBF);
    const bool tail2 = InRange(at(2), 0x80, 0xBF);
    const bool tail3 = InRange(at(3), 0x80, 0xBF);
    std::size_t length = 0;
    if (b0 <= 0x7F) {
      length = 1;
    } else if (InRange(b0, 0xC2, 0xDF) && tail1) {
      length = 2;
    } else if ((b0 == 0xE0 && InRange(at(1), 0xA0, 0xBF) && tail2) ||
               ((InRange(b0, 0xE1, 0xEC) || InRange(b0, 0xEE, 0xEF)) && tail1 && tail2) ||
               (b0 == 0xED && InRange(at(1), 0x80, 0x9F) && tail2)) {
      length = 3;
    } else if ((b0 == 0xF0 && InRange(at(1), 0x90, 0xBF) && tail2 && tail3) ||
               (InRange(b0, 0xF1, 0xF3) && tail1 && tail2 && tail3) ||
               (b0 == 0xF4 && InRange(at(1), 0x80, 0x8F) && tail2 && tail3)) {
      length = 4;
    } else {
      return false;
    }
    i += length;
  }
  return true;
}

// The UTF-8 form of `text`; nothing when it holds an unpaired surrogate.
std::optional<std::string> EncodeUtf8(const WideText& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t point = text[i];
    if (point >= 0xDC00 && point <= 0xDFFF) return std::nullopt;
    if (point >= 0xD800 && point <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return std::nullopt;
      point = 0x10000 + ((point - 0xD800) << 10) + (text[++i] - 0xDC00u);
    }
    AppendUtf8(out, point);
  }
  return out;
}

WideText Latin1(std::string_view bytes) {
  WideText text;
  for (const char byte : bytes) text.push_back(static_cast<unsigned char>(byte));
  return text;
}

bool IsBlank(std::u16string_view text) { return text.find_first_not_of(u" \t") == text.npos; }

// The first line of a file with a UTF-16 byte-order mark, read independently:
// all code units in the mark's order, cut at the first LF or NUL, less one CR.
WideText Utf16FirstLine(std::string_view bytes) {
  std::string content(bytes.substr(2));
  if (bytes.starts_with("\xFE\xFF")) {
    for (std::size_t i = 0; i + 1 < content.size(); i += 2) std::swap(content[i], content[i + 1]);
  }
  WideText units = Utf16FromBytes(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
  units = units.substr(0, std::min(units.find(u'\n'), units.find(u'\0')));
  if (units.ends_with(u'\r')) units.pop_back();
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Outcome<WideText> outcome = ReadCommandTemplate(Latin1(bytes));
  const WideText* commandTemplate = std::get_if<WideText>(&outcome);
  if (commandTemplate == nullptr) {
    Require(outcome == Outcome<WideText>(LaunchFailure::kConfigEmpty),
            "a file that opens gives a template or kConfigEmpty");
  } else {
    Require(!IsBlank(*commandTemplate), "a template is never blank");
    Require(commandTemplate->find(u'\n') == WideText::npos, "the template holds no line feed");
    Require(commandTemplate->find(u'\0') == WideText::npos, "the template holds no NUL");
  }

  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    const WideText line = Utf16FirstLine(bytes);
    Require(IsBlank(line) ? commandTemplate == nullptr : *commandTemplate == line,
            "a UTF-16 file gives its first line, or kConfigEmpty when that is blank");
    return 0;
  }
  // The first line: up to a line feed or NUL, less one CR that ends it.
  std::string_view line = bytes.substr(0, bytes.find_first_of(std::string_view("\n\0", 2)));
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
  if (IsBlank(Latin1(line))) {
    Require(commandTemplate == nullptr, "a blank first line is kConfigEmpty");
    return 0;
  }
  const WideText& result = *commandTemplate;
  Require(result.ends_with(u'\r') == line.ends_with('\r'),
          "a CR ends the template only when the line holds one more before its ending");
  // Valid UTF-8 (plain ASCII among it) comes back unchanged when re-encoded;
  // anything else is decoded byte by byte through the ANSI code page.
  if (IsWellFormedUtf8(line)) {
    Require(EncodeUtf8(result) == std::optional<std::string>(line),
            "a UTF-8 line decodes to the same text");
  } else {
    Require(result == Latin1(line), "any other line decodes through the ANSI code page");
  }
  return 0;
}
