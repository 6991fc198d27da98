// The configuration file's platform functions for the fuzz build, where no
// file is written: a configuration "path" is the file's content itself, one
// byte per code unit, served from memory. The ANSI code page is Latin-1, so a
// byte decodes to the code unit of the same value.

#include <cstdio>
#include <string>

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
