#pragma once

// The resources of a Windows program as its resource section holds them: a
// tree of directories (type, then name, then language) whose leaves describe
// where each resource's data lies.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "brand/bytes.h"

// A resource type or name: a number, or a text when `text` is not empty.
struct ResourceName {
  std::uint16_t id = 0;
  WideText text;
  friend bool operator==(const ResourceName&, const ResourceName&) = default;
};

struct Resource {
  ResourceName type;
  ResourceName name;
  std::uint16_t language = 0;
  Bytes data;
  std::uint32_t codePage = 0;  // as the data entry gives it; usually 0
  friend bool operator==(const Resource&, const Resource&) = default;
};

// Whether `first` comes before `second` in a resource directory: named
// entries before numbered ones, names in ascending order without regard to
// the case of ASCII letters, numbers in ascending order.
bool ComesBefore(const ResourceName& first, const ResourceName& second);

// `resources` in the order the resource section lists them: by type, then
// name, then language, each as ComesBefore orders it. Stable.
std::vector<Resource> InDirectoryOrder(std::vector<Resource> resources);

// The resources of the tree whose root directory lies at `rootAt` in
// `section`, the bytes of the section that starts at the address
// `sectionAddress`, in the order the tree lists them. nullopt when the tree
// is malformed: a table, entry, name or data entry outside the section, a
// table reached twice (a loop, or shared), a tree deeper or shallower than
// three levels, a language given by name, a number wider than 16 bits, data
// outside the section, two resources whose data overlap, or two entries of
// one table that Windows' search cannot tell apart (the same number, or
// names alike but for the case of ASCII letters). Never reads outside
// `section`.
std::optional<std::vector<Resource>> ReadResourceTree(std::string_view section,
                                                      std::uint32_t sectionAddress,
                                                      std::size_t rootAt);

// A resource section for the address `sectionAddress` holding `resources`,
// no two of which share type, name and language: the directory tables first
// (entries in directory order), then the data entries, the names, and the
// data, each resource's at a multiple of 8 and in the order of `resources`.
// Tables and entries are aligned to 4 bytes; the stamps are 0, so the same
// resources give the same bytes. nullopt when the section would not fit the
// 31-bit offsets of a resource directory, or a table its 16-bit counts.
std::optional<Bytes> BuildResourceSection(const std::vector<Resource>& resources,
                                          std::uint32_t sectionAddress);
