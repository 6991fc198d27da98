#pragma once

// What launcher-brand needs from the operating system: file access and the
// text of its errors. Windows and Linux each define these functions
// (brand_platform_win32.cpp, brand_platform_posix.cpp); the unit tests link
// a definition that keeps files in memory and fails on command. Paths are
// taken as the user typed them, relative to the current directory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

#include "brand/bytes.h"

// An error as the system reports it: Windows' error code, or errno.
using SystemError = std::uint32_t;

// The file was larger than its reader accepts; it was not read.
struct FileTooLarge {
  friend bool operator==(const FileTooLarge&, const FileTooLarge&) = default;
};

// The whole file at `path`, read once, or why not.
std::variant<Bytes, FileTooLarge, SystemError> ReadFileBytes(const WideText& path, std::size_t largest);

// Whether `error` says the file or a folder on its path does not exist.
bool IsMissingFile(SystemError error);

// Whether `error` says a file of that name already exists.
bool IsExistingFile(SystemError error);

// How a message shows `error`: "system error #5" on Windows, the errno's text
// ("Permission denied") on Linux.
WideText SystemErrorText(SystemError error);

// Which file a path names: the same for every path of one file, hard links,
// letter case and "./" included.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

enum class FileKind { kAbsent, kFile, kOther };

struct FileState {
  FileKind kind = FileKind::kAbsent;
  bool readOnly = false;  // no write permission at all (Linux), FILE_ATTRIBUTE_READONLY (Windows)
  FileIdentity identity;
};

// What is at `path`: nothing, a file or something else (a folder, a device).
std::variant<FileState, SystemError> InspectFile(const WideText& path);

// The folder of `path` as it writes it: the part before its last separator,
// the root when that is all there is, "." for a bare file name.
WideText FolderOf(const WideText& path);

enum class WriteStep { kCreate, kWrite };

struct WriteFailure {
  WriteStep step = WriteStep::kCreate;
  SystemError error = 0;
};

// Creates the file `path`, which must not exist yet, writes `bytes` into it,
// flushes it to the disk and closes it. What failed, at which step, when it
// did; a file created stays behind for the caller to remove.
std::optional<WriteFailure> WriteNewFile(const WideText& path, std::string_view bytes);

// Puts the file `from` in the place of `to`, replacing it in one step, and
// waits until the change is on the disk. Keeps the permissions of a file it
// replaces where the system has them. The error when it fails.
std::optional<SystemError> MoveFileOver(const WideText& from, const WideText& to);

// Removes the file `path`; nothing happens when it cannot.
void RemoveFile(const WideText& path);

// This process's identifier.
std::uint32_t ProcessId();
