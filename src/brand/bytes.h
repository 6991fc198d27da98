#pragma once

// Bytes as the branding tool handles them: a file, a resource or a part of
// one, held in std::string (a counted run of bytes, not text), with the
// little-endian reads and writes that the icon, version and executable
// formats are made of.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/wide_text.h"

using Bytes = std::string;

// The little-endian value at `at`; the caller has checked that it lies
// within `bytes`.
inline std::uint16_t ReadU16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}
inline std::uint32_t ReadU32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(ReadU16(bytes, at)) |
         static_cast<std::uint32_t>(ReadU16(bytes, at + 2)) << 16;
}

// The big-endian value at `at`, as PNG stores its numbers; the caller has
// checked that it lies within `bytes`.
inline std::uint32_t ReadBigEndianU32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t next = at; next < at + 4; ++next) value = value << 8 | static_cast<unsigned char>(bytes[next]);
  return value;
}

// Appends `value` in little-endian order.
inline void AppendU16(Bytes& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<char>(value & 0xFF));
  bytes.push_back(static_cast<char>(value >> 8));
}
inline void AppendU32(Bytes& bytes, std::uint32_t value) {
  AppendU16(bytes, static_cast<std::uint16_t>(value & 0xFFFF));
  AppendU16(bytes, static_cast<std::uint16_t>(value >> 16));
}

// Overwrites the two or four bytes at `at`, which lie within `bytes`.
inline void StoreU16(Bytes& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}
inline void StoreU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  StoreU16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
  StoreU16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

// Appends each code unit of `text` as UTF-16LE.
inline void AppendUtf16(Bytes& bytes, std::u16string_view text) {
  for (const char16_t unit : text) AppendU16(bytes, unit);
}

// `value` rounded up to a multiple of `alignment`, a power of two.
inline std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) & ~(alignment - 1);
}

// Whether `size` bytes from `at` lie within a run of `total` bytes, without
// overflowing on hostile offsets.
inline bool FitsWithin(std::size_t total, std::size_t at, std::size_t size) {
  return at <= total && size <= total - at;
}
