#include "brand/resource_section.h"

#include <algorithm>
#include <numeric>
#include <set>
#include <utility>

namespace {

constexpr std::size_t kTableHeaderSize = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr std::uint32_t kHighBit = 0x80000000;
// Type, name, language: the leaves hang from the third level's entries.
constexpr int kLanguageLevel = 2;
constexpr std::size_t kDataAlignment = 8;

char16_t UpperAscii(char16_t unit) {
  return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

bool SameName(const ResourceName& first, const ResourceName& second) {
  return !ComesBefore(first, second) && !ComesBefore(second, first);
}

bool KeyBefore(const Resource& first, const Resource& second) {
  if (!SameName(first.type, second.type)) return ComesBefore(first.type, second.type);
  if (!SameName(first.name, second.name)) return ComesBefore(first.name, second.name);
  return first.language < second.language;
}

// What reading a tree gathers on its way down. Data is only taken once the
// whole tree has been checked, so that a hostile tree naming one large datum
// many times costs no memory.
struct TreeWalk {
  std::string_view section;
  std::uint32_t sectionAddress = 0;
  std::size_t rootAt = 0;
  std::set<std::size_t> tablesSeen;
  std::vector<Resource> resources;                          // without their data yet
  std::vector<std::pair<std::size_t, std::size_t>> spans;  // each one's data: offset, size
};

std::optional<ResourceName> EntryName(const TreeWalk& walk, std::uint32_t field, int level) {
  if ((field & kHighBit) == 0) {
    if (field > 0xFFFF) return std::nullopt;
    return ResourceName{static_cast<std::uint16_t>(field), {}};
  }
  if (level == kLanguageLevel) return std::nullopt;
  const std::size_t at = walk.rootAt + (field & ~kHighBit);
  if (!FitsWithin(walk.section.size(), at, 2)) return std::nullopt;
  const std::size_t length = ReadU16(walk.section, at);
  // An empty name would read back as the number 0.
  if (length == 0 || !FitsWithin(walk.section.size(), at + 2, 2 * length)) return std::nullopt;
  ResourceName name;
  for (std::size_t unit = 0; unit < length; ++unit) {
    name.text.push_back(static_cast<char16_t>(ReadU16(walk.section, at + 2 + 2 * unit)));
  }
  return name;
}

bool ReadDataEntry(TreeWalk& walk, std::size_t at, Resource resource) {
  if (!FitsWithin(walk.section.size(), at, kDataEntrySize)) return false;
  const std::uint32_t address = ReadU32(walk.section, at);
  const std::size_t size = ReadU32(walk.section, at + 4);
  if (address < walk.sectionAddress) return false;
  const std::size_t offset = address - walk.sectionAddress;
  if (!FitsWithin(walk.section.size(), offset, size)) return false;
  resource.codePage = ReadU32(walk.section, at + 8);
  walk.resources.push_back(std::move(resource));
  walk.spans.emplace_back(offset, size);
  return true;
}

// Whether two of `names` are one name to Windows' search, which ignores case.
bool AnySameName(std::vector<ResourceName> names) {
  std::sort(names.begin(), names.end(), ComesBefore);
  return std::adjacent_find(names.begin(), names.end(), SameName) != names.end();
}

bool ReadTable(TreeWalk& walk, std::size_t at, int level, const Resource& path) {
  if (!walk.tablesSeen.insert(at).second || !FitsWithin(walk.section.size(), at, kTableHeaderSize)) {
    return false;
  }
  const std::size_t count = std::size_t{ReadU16(walk.section, at + 12)} + ReadU16(walk.section, at + 14);
  const std::size_t entriesAt = at + kTableHeaderSize;
  if (!FitsWithin(walk.section.size(), entriesAt, count * kEntrySize)) return false;
  std::vector<ResourceName> names;
  for (std::size_t index = 0; index < count; ++index) {
    const auto name = EntryName(walk, ReadU32(walk.section, entriesAt + index * kEntrySize), level);
    if (!name) return false;
    names.push_back(*name);
  }
  if (AnySameName(names)) return false;
  for (std::size_t index = 0; index < count; ++index) {
    const std::uint32_t target = ReadU32(walk.section, entriesAt + index * kEntrySize + 4);
    const bool leadsToTable = (target & kHighBit) != 0;
    if (leadsToTable == (level == kLanguageLevel)) return false;
    Resource below = path;
    if (level == 0) {
      below.type = names[index];
    } else if (level == 1) {
      below.name = names[index];
    } else {
      below.language = names[index].id;
    }
    const std::size_t next = walk.rootAt + (target & ~kHighBit);
    if (!(leadsToTable ? ReadTable(walk, next, level + 1, below) : ReadDataEntry(walk, next, std::move(below)))) {
      return false;
    }
  }
  return true;
}

bool AnyOverlap(std::vector<std::pair<std::size_t, std::size_t>> spans) {
  std::erase_if(spans, [](const auto& span) { return span.second == 0; });
  std::sort(spans.begin(), spans.end());
  for (std::size_t index = 1; index < spans.size(); ++index) {
    if (spans[index].first < spans[index - 1].first + spans[index - 1].second) return true;
  }
  return false;
}

// A run of consecutive positions of the directory order.
struct Run {
  std::size_t first = 0;
  std::size_t count = 0;
};

// The runs within `within` of positions whose resources `same` holds alike.
template <typename Same>
std::vector<Run> RunsOf(const std::vector<std::size_t>& order, Run within, Same same) {
  std::vector<Run> runs;
  for (std::size_t at = within.first; at < within.first + within.count; ++at) {
    if (runs.empty() || !same(order[runs.back().first], order[at])) runs.push_back({at, 0});
    ++runs.back().count;
  }
  return runs;
}

std::size_t TableSize(std::size_t entries) { return kTableHeaderSize + entries * kEntrySize; }

// Where each part of a resource section goes, assigned before any byte is
// written.
struct SectionLayout {
  std::vector<std::size_t> order;             // positions in `resources`, in directory order
  std::vector<Run> types;                     // runs of `order` sharing a type
  std::vector<std::vector<Run>> names;        // per type, runs sharing a name
  std::vector<std::size_t> nameTableAt;       // per type
  std::vector<std::vector<std::size_t>> languageTableAt;  // per type and name
  std::size_t dataEntriesAt = 0;              // one per position of `order`
  std::vector<std::size_t> typeTextAt;        // per type, where its name's text is; 0 for a number
  std::vector<std::vector<std::size_t>> nameTextAt;
  std::vector<std::size_t> dataAt;            // per resource
  std::size_t size = 0;
};

// Whether every table's entries can be counted in its 16-bit fields.
bool CountsFit(const SectionLayout& layout) {
  constexpr std::size_t kMostEntries = 0xFFFF;
  if (layout.types.size() > kMostEntries) return false;
  for (const std::vector<Run>& names : layout.names) {
    if (names.size() > kMostEntries) return false;
    for (const Run& name : names) {
      if (name.count > kMostEntries) return false;
    }
  }
  return true;
}

std::size_t PlaceText(std::size_t& cursor, const ResourceName& name) {
  if (name.text.empty()) return 0;
  const std::size_t at = cursor;
  cursor += 2 + 2 * name.text.size();
  return at;
}

SectionLayout LayOut(const std::vector<Resource>& resources) {
  SectionLayout layout;
  layout.order.resize(resources.size());
  std::iota(layout.order.begin(), layout.order.end(), std::size_t{0});
  std::stable_sort(layout.order.begin(), layout.order.end(),
                   [&](std::size_t a, std::size_t b) { return KeyBefore(resources[a], resources[b]); });
  const auto sameType = [&](std::size_t a, std::size_t b) { return SameName(resources[a].type, resources[b].type); };
  const auto sameName = [&](std::size_t a, std::size_t b) {
    return sameType(a, b) && SameName(resources[a].name, resources[b].name);
  };
  layout.types = RunsOf(layout.order, {0, layout.order.size()}, sameType);

  std::size_t cursor = TableSize(layout.types.size());
  for (const Run& type : layout.types) {
    layout.names.push_back(RunsOf(layout.order, type, sameName));
    layout.nameTableAt.push_back(cursor);
    cursor += TableSize(layout.names.back().size());
  }
  for (const std::vector<Run>& names : layout.names) {
    layout.languageTableAt.emplace_back();
    for (const Run& name : names) {
      layout.languageTableAt.back().push_back(cursor);
      cursor += TableSize(name.count);
    }
  }
  layout.dataEntriesAt = cursor;
  cursor += kDataEntrySize * layout.order.size();
  for (std::size_t type = 0; type < layout.types.size(); ++type) {
    layout.typeTextAt.push_back(PlaceText(cursor, resources[layout.order[layout.types[type].first]].type));
    layout.nameTextAt.emplace_back();
    for (const Run& name : layout.names[type]) {
      layout.nameTextAt.back().push_back(PlaceText(cursor, resources[layout.order[name.first]].name));
    }
  }
  for (const Resource& resource : resources) {
    cursor = AlignUp(cursor, kDataAlignment);
    layout.dataAt.push_back(cursor);
    cursor += resource.data.size();
  }
  layout.size = cursor;
  return layout;
}

void StoreTableHeader(Bytes& out, std::size_t at, std::size_t named, std::size_t numbered) {
  StoreU16(out, at + 12, static_cast<std::uint16_t>(named));
  StoreU16(out, at + 14, static_cast<std::uint16_t>(numbered));
}

void StoreText(Bytes& out, std::size_t at, const WideText& text) {
  StoreU16(out, at, static_cast<std::uint16_t>(text.size()));
  for (std::size_t unit = 0; unit < text.size(); ++unit) StoreU16(out, at + 2 + 2 * unit, text[unit]);
}

// Stores the entry for `name` (its text at `textAt` when it has one) leading
// to `target`.
void StoreEntry(Bytes& out, std::size_t at, const ResourceName& name, std::size_t textAt,
                std::uint32_t target) {
  if (!name.text.empty()) StoreText(out, textAt, name.text);
  StoreU32(out, at, name.text.empty() ? name.id : kHighBit | static_cast<std::uint32_t>(textAt));
  StoreU32(out, at + 4, target);
}

std::size_t NamedCount(const std::vector<Resource>& resources, const std::vector<std::size_t>& order,
                       const std::vector<Run>& runs, ResourceName Resource::*field) {
  return static_cast<std::size_t>(std::count_if(runs.begin(), runs.end(), [&](const Run& run) {
    return !(resources[order[run.first]].*field).text.empty();
  }));
}

}  // namespace

bool ComesBefore(const ResourceName& first, const ResourceName& second) {
  const bool firstNamed = !first.text.empty();
  if (firstNamed != !second.text.empty()) return firstNamed;
  if (!firstNamed) return first.id < second.id;
  return std::lexicographical_compare(first.text.begin(), first.text.end(), second.text.begin(), second.text.end(),
                                      [](char16_t a, char16_t b) { return UpperAscii(a) < UpperAscii(b); });
}

std::vector<Resource> InDirectoryOrder(std::vector<Resource> resources) {
  std::stable_sort(resources.begin(), resources.end(), KeyBefore);
  return resources;
}

std::optional<std::vector<Resource>> ReadResourceTree(std::string_view section, std::uint32_t sectionAddress,
                                                      std::size_t rootAt) {
  TreeWalk walk{section, sectionAddress, rootAt, {}, {}, {}};
  if (!ReadTable(walk, rootAt, 0, Resource{}) || AnyOverlap(walk.spans)) {
    return std::nullopt;
  }
  for (std::size_t index = 0; index < walk.resources.size(); ++index) {
    walk.resources[index].data = Bytes(section.substr(walk.spans[index].first, walk.spans[index].second));
  }
  return std::move(walk.resources);
}

std::optional<Bytes> BuildResourceSection(const std::vector<Resource>& resources, std::uint32_t sectionAddress) {
  const SectionLayout layout = LayOut(resources);
  if (!CountsFit(layout) || layout.size > 0x7FFFFFFF || layout.size > 0xFFFFFFFFu - sectionAddress) {
    return std::nullopt;
  }

  Bytes out(layout.size, '\0');
  const auto& order = layout.order;
  StoreTableHeader(out, 0, NamedCount(resources, order, layout.types, &Resource::type),
                   layout.types.size() - NamedCount(resources, order, layout.types, &Resource::type));
  std::size_t position = 0;  // in directory order, for the data entries
  for (std::size_t type = 0; type < layout.types.size(); ++type) {
    const std::vector<Run>& names = layout.names[type];
    StoreEntry(out, TableSize(type), resources[order[layout.types[type].first]].type, layout.typeTextAt[type],
               kHighBit | static_cast<std::uint32_t>(layout.nameTableAt[type]));
    const std::size_t named = NamedCount(resources, order, names, &Resource::name);
    StoreTableHeader(out, layout.nameTableAt[type], named, names.size() - named);
    for (std::size_t name = 0; name < names.size(); ++name) {
      const std::size_t languageTableAt = layout.languageTableAt[type][name];
      StoreEntry(out, layout.nameTableAt[type] + TableSize(name), resources[order[names[name].first]].name,
                 layout.nameTextAt[type][name], kHighBit | static_cast<std::uint32_t>(languageTableAt));
      StoreTableHeader(out, languageTableAt, 0, names[name].count);
      for (std::size_t language = 0; language < names[name].count; ++language, ++position) {
        const std::size_t index = order[names[name].first + language];
        const std::size_t entryAt = layout.dataEntriesAt + kDataEntrySize * position;
        StoreEntry(out, languageTableAt + TableSize(language), {resources[index].language, {}}, 0,
                   static_cast<std::uint32_t>(entryAt));
        StoreU32(out, entryAt, sectionAddress + static_cast<std::uint32_t>(layout.dataAt[index]));
        StoreU32(out, entryAt + 4, static_cast<std::uint32_t>(resources[index].data.size()));
        StoreU32(out, entryAt + 8, resources[index].codePage);
      }
    }
  }
  for (std::size_t index = 0; index < resources.size(); ++index) {
    out.replace(layout.dataAt[index], resources[index].data.size(), resources[index].data);
  }
  return out;
}
