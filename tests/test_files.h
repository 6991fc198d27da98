#pragma once

// Real files for the tests, in a fresh directory that is removed afterwards.

#include <filesystem>
#include <string_view>

#include "launch/launch_types.h"

// A fresh, empty directory under the system's temporary directory, removed
// with everything in it when the value goes out of scope.
struct ScratchDirectory {
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  std::filesystem::path path;
};

// `path` as Windows writes it, with backslashes; the native test build's
// platform functions read those as directory separators.
WideText WindowsForm(const std::filesystem::path& path);

// Writes `bytes` to `path` exactly (binary) and returns WindowsForm(path).
WideText WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
