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

// The whole file at `path`, read once into a buffer of its size, or why not.
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
  bool link = false;  // `path` itself is a symbolic link (or, on Windows, a junction)
};

// What is at `path`: nothing, a file or something else (a folder, a device),
// as the path leads to it through any links; and whether `path` itself is a
// link, even one that leads nowhere.
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

enum class ReplaceFailureKind {
  kBusy,            // another process holds a file for now (a virus scanner does); nothing changed
  kDenied,          // access denied: a file held for now, as kBusy, or a right lacking; nothing changed
  kRefused,         // nothing changed
  kTargetAtBackup,  // the file replaced now has the backup's name; the replacement kept its own
};

struct ReplaceFailure {
  ReplaceFailureKind kind = ReplaceFailureKind::kRefused;
  SystemError error = 0;
  friend bool operator==(const ReplaceFailure&, const ReplaceFailure&) = default;
};

// What a failure of ReplaceFileW, MoveFileExW or DeleteFileW with Windows'
// `error` left: a sharing violation (32), a lock violation (33) and "unable to
// remove replaced" (1175) are kBusy; access denied (5) is kDenied; "unable to
// move replacement 2" (1177) is kTargetAtBackup; anything else, "unable to
// move replacement" (1176) included, is kRefused. The Windows definition and
// the test definition both read their errors through it.
constexpr ReplaceFailure WindowsReplaceFailure(SystemError error) {
  switch (error) {
    case 32: case 33: case 1175: return {ReplaceFailureKind::kBusy, error};
    case 5: return {ReplaceFailureKind::kDenied, error};
    case 1177: return {ReplaceFailureKind::kTargetAtBackup, error};
    default: return {ReplaceFailureKind::kRefused, error};
  }
}

// Whether Windows' `error` says a virus scanner blocked the file: it found a
// virus in it (225) or deleted it (226).
constexpr bool IsWindowsScannerBlock(SystemError error) { return error == 225 || error == 226; }

// Whether `error` says a virus scanner blocked the file (IsWindowsScannerBlock
// on Windows; no Linux error says so).
bool IsBlockedByScanner(SystemError error);

// Puts the file `replacement` in the place of the existing file `target`.
// Windows: ReplaceFileW (without REPLACEFILE_WRITE_THROUGH, which Windows
// does not support), which keeps TARGET's attributes, security and streams
// and moves it to `backup` on the way; the backup is the caller's to remove.
// It fails with access denied where the user may not write TARGET or change
// the replacement's permissions, and is never told to ignore that
// (REPLACEFILE_IGNORE_ACL_ERRORS), which would give the copy looser
// permissions than TARGET's without a word.
// Linux: `replacement` takes TARGET's permission bits but the set-user-ID,
// set-group-ID and sticky bits, and is renamed over it (`backup` is not
// used); the folder, opened before the rename, is flushed after it, so that
// the rename is on the disk, unless it could not be opened or flushed: the
// rename counts all the same.
std::optional<ReplaceFailure> ReplaceExistingFile(const WideText& target, const WideText& replacement,
                                                  const WideText& backup);

// Gives the file `from` the name `to`, where there was no file when the run
// looked. Windows: MoveFileExW with MOVEFILE_WRITE_THROUGH, which fails if a
// file of that name has appeared since; Linux: rename, and the folder flushed
// as ReplaceExistingFile flushes it.
std::optional<ReplaceFailure> MoveToNewName(const WideText& from, const WideText& to);

// Removes the file `path`; what failed when it cannot (IsMissingFile of its
// error when there is no such file). Windows: DeleteFileW, its errors sorted
// by WindowsReplaceFailure, so that a file held for now can be tried again;
// Linux: unlink, kRefused.
std::optional<ReplaceFailure> RemoveFile(const WideText& path);

// This process's identifier.
std::uint32_t ProcessId();

// A clock that only moves forward, in milliseconds from some start.
std::uint64_t MonotonicMilliseconds();

// Returns after `milliseconds`.
void WaitMilliseconds(std::uint32_t milliseconds);
