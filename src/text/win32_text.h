#pragma once

// Crossing between WideText and the wide strings of the Windows API, which are
// the same UTF-16 code units under another type.

#include <cwchar>

#include "text/wide_text.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

inline const wchar_t* AsWindowsText(const WideText& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline WideText FromWindowsText(const wchar_t* text) {
  if (text == nullptr) return WideText();
  return WideText(reinterpret_cast<const char16_t*>(text), std::wcslen(text));
}
