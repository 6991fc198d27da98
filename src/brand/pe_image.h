#pragma once

// The few places in a Windows executable's headers that a branded copy
// touches: its header checksum and its signature (the certificate table).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "brand/bytes.h"

struct PeLayout {
  std::size_t checksumAt = 0;          // file offset of the optional header's CheckSum
  std::size_t certificateEntryAt = 0;  // file offset of the certificate table's entry; 0 if none
  std::size_t certificateAt = 0;       // where the certificate table starts in the file
  std::size_t certificateSize = 0;     // its size; 0 for an unsigned file
};

// The layout of `image` when it is a Windows program: an MZ header leading to
// a PE header that marks an executable image (not a DLL), a 32- or 64-bit
// optional header and a section table within the file, and any certificate
// table ending the file, where signing puts it. nullopt otherwise. Never reads
// outside `image`.
std::optional<PeLayout> ReadPeLayout(std::string_view image);

// `image` without its signature: the certificate table's entry cleared and
// the table cut off the end of the file. An unsigned image comes back as it
// is.
Bytes WithoutSignature(Bytes image, const PeLayout& layout);
