// The platform functions for the fuzz build, where no file is written: a
// configuration "path" is the file's content itself, one byte per code unit,
// served from memory. The ANSI code page is Latin-1, so a byte decodes to the
// code unit of the same value. Paths are made absolute by a model of
// GetFullPathNameW, and no name is a program's file.

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "launch/platform.h"

std::FILE* OpenConfigFile(const WideText& path) {
  std::string bytes;
  bytes.reserve(path.size());
  for (const char16_t unit : path) bytes.push_back(static_cast<char>(unit));
  // A null buffer makes the stream own its memory, which then lives until the
  // caller closes it; one spare byte lets an empty content open too.
  std::FILE* file = fmemopen(nullptr, bytes.size() + 1, "w+");
  if (file == nullptr) return nullptr;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fflush(file) != 0) {
    std::fclose(file);
    return nullptr;
  }
  std::rewind(file);
  return file;
}

// These streams never translate.
bool ReadBytesFrom(std::FILE* file, long offset) { return std::fseek(file, offset, SEEK_SET) == 0; }

WideText DecodeAnsi(std::string_view bytes) {
  WideText text;
  for (const char byte : bytes) text.push_back(static_cast<unsigned char>(byte));
  return text;
}

// GetFullPathNameW with C:\Current as the current directory, and D:\ as drive
// D's: a "\\?\" path is kept; otherwise "/" reads as "\", a relative path is
// read from the current directory, "\x" from C:\, "C:x" from C:\Current;
// empty names and "." go, ".." takes the name before it (never the root), and
// the dots and spaces that end a name go, with the name when nothing is left.
std::optional<WideText> FullPathName(const WideText& path) {
  if (path.starts_with(u"\\\\?\\")) return path;
  WideText text = path;
  std::replace(text.begin(), text.end(), u'/', u'\\');
  std::u16string_view rest = text;
  WideText root = u"C:";
  std::vector<std::u16string_view> names;
  if (rest.starts_with(u"\\\\")) {
    const std::size_t server = rest.find(u'\\', 2);
    if (server == std::u16string_view::npos) return text;
    const std::size_t share = std::min(rest.find(u'\\', server + 1), rest.size());
    root.assign(rest.data(), share);
    rest.remove_prefix(share);
  } else if (rest.size() >= 2 && rest[1] == u':') {
    root.assign(rest.data(), 2);
    rest.remove_prefix(2);
    const bool driveC = root[0] == u'C' || root[0] == u'c';
    if (driveC && !rest.starts_with(u'\\')) names.push_back(u"Current");
  } else if (!rest.starts_with(u'\\')) {
    names.push_back(u"Current");
  }
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find(u'\\'), rest.size());
    std::u16string_view name = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (name == u"..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    name = name.substr(0, name.find_last_not_of(u". ") + 1);
    if (!name.empty()) names.push_back(name);
  }
  WideText full = root;
  for (const std::u16string_view name : names) {
    full += u'\\';
    full += name;
  }
  if (names.empty()) full += u'\\';
  return full;
}

std::optional<WideText> FindProgramFile(const WideText&) { return std::nullopt; }
