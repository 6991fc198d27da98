#pragma once

// What the fuzz targets share: how they read their input and how they stop on
// a broken property.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "launch/launch_types.h"

// The input as UTF-16LE code units; an odd last byte is dropped.
inline WideText Utf16FromBytes(const std::uint8_t* data, std::size_t size) {
  WideText text;
  text.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

// Aborts with `property` on stderr when it does not hold, so libFuzzer keeps
// the input that broke it.
inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}
