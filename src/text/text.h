#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "text/wide_text.h"

// Searches compare code unit by code unit, case-sensitively. "Not found" is an
// empty optional, which no position can be mistaken for.

// The position of the first occurrence of `pattern` at or after `from`.
// An empty pattern is never found.
std::optional<std::size_t> FindFirst(std::u16string_view text,
                                     std::u16string_view pattern,
                                     std::size_t from = 0);

// The position of the last occurrence of `unit`.
std::optional<std::size_t> FindLast(std::u16string_view text, char16_t unit);

// Whether the two texts are equal once 'A' to 'Z' are folded to 'a' to 'z';
// every other code unit must match exactly, so that a locale's idea of case
// cannot change what matches ".exe".
bool EqualFoldingAsciiCase(std::u16string_view first, std::u16string_view second);

// `view` as text of its own.
WideText TextOf(std::u16string_view view);

// The position of the first ".exe" in any ASCII letter case, at or after `from`.
std::optional<std::size_t> FindFirstExe(std::u16string_view text, std::size_t from = 0);

// Whether `text` ends in ".exe", ASCII letters in any case.
bool EndsWithExe(std::u16string_view text);

// `value` in decimal digits, without sign, leading zeros or grouping.
WideText DecimalText(std::uint32_t value);

// The UTF-16 form of `bytes` when they are well-formed UTF-8 (no overlong
// forms, no surrogates, nothing above U+10FFFF); otherwise empty. ASCII maps
// one byte to one code unit.
std::optional<WideText> DecodeUtf8(std::string_view bytes);
