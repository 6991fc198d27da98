#pragma once

// Text crossing between launcher-brand and a byte-oriented world (Linux file
// names and arguments, output to files and pipes) without loss.

#include <string>
#include <string_view>

#include "text/wide_text.h"

// The UTF-16 form of `bytes` as UTF-8, where each byte that does not begin a
// well-formed sequence stands for itself as U+DC80 to U+DCFF, so that any
// bytes, such as a Linux file name, survive the way back through
// EncodeUtf8Escaped.
WideText DecodeUtf8Escaped(std::string_view bytes);

// The UTF-8 form of `text`, with U+DC80 to U+DCFF standing alone turned back
// into the bytes they stand for, and any other unpaired surrogate into U+FFFD.
std::string EncodeUtf8Escaped(std::u16string_view text);

// Whether `unit` is half of a surrogate pair, high or low.
bool IsSurrogate(char16_t unit);

// Whether `text` holds a whole surrogate pair at `at`: a high surrogate
// followed by a low one.
bool IsPairAt(std::u16string_view text, std::size_t at);

// Whether `text` is well-formed UTF-16: every surrogate is half of a pair. A
// byte that DecodeUtf8Escaped could not decode makes it fail.
bool IsWellFormedUtf16(std::u16string_view text);
