// launcher-brand's file access on Linux. Paths and messages are UTF-8; bytes
// of a file name that are not UTF-8 travel as U+DC80 to U+DCFF and come back
// unchanged (DecodeUtf8Escaped).
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "brand/brand_platform.h"
#include "brand/utf8_escaped.h"

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

std::string Native(const WideText& path) { return EncodeUtf8Escaped(path); }

SystemError LastError() { return static_cast<SystemError>(errno); }

bool CloseFile(int file) { return close(file) == 0; }

// Writes all of `bytes`; false with errno set when it cannot.
bool WriteAll(int file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(file, bytes.data(), std::min(bytes.size(), kChunk));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

std::variant<Bytes, FileTooLarge, SystemError> ReadFileBytes(const WideText& path, std::size_t largest) {
  const int file = open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return LastError();
  struct stat status {};
  std::variant<Bytes, FileTooLarge, SystemError> result = Bytes();
  Bytes& bytes = std::get<Bytes>(result);
  if (fstat(file, &status) != 0) {
    result = LastError();
  } else if (static_cast<std::uint64_t>(status.st_size) > largest) {
    result = FileTooLarge{};
  } else {
    // Read as large as the file was when opened; a file that shrinks meanwhile
    // is taken as far as it goes.
    bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t had = 0;
    while (had < bytes.size()) {
      const ssize_t read = ::read(file, bytes.data() + had, bytes.size() - had);
      if (read < 0 && errno == EINTR) continue;
      if (read < 0) {
        result = LastError();
        break;
      }
      if (read == 0) {
        bytes.resize(had);
        break;
      }
      had += static_cast<std::size_t>(read);
    }
  }
  CloseFile(file);
  return result;
}

bool IsMissingFile(SystemError error) { return error == ENOENT || error == ENOTDIR; }

bool IsExistingFile(SystemError error) { return error == EEXIST; }

bool IsBlockedByScanner(SystemError) { return false; }

WideText SystemErrorText(SystemError error) {
  return DecodeUtf8Escaped(std::strerror(static_cast<int>(error)));
}

std::variant<FileState, SystemError> InspectFile(const WideText& path) {
  FileState state;
  struct stat status {};
  if (lstat(Native(path).c_str(), &status) != 0) {
    if (IsMissingFile(LastError())) return state;
    return LastError();
  }
  state.link = S_ISLNK(status.st_mode);
  if (state.link && stat(Native(path).c_str(), &status) != 0) {
    if (IsMissingFile(LastError())) return state;
    return LastError();
  }
  state.kind = S_ISREG(status.st_mode) ? FileKind::kFile : FileKind::kOther;
  state.readOnly = (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  state.identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  return state;
}

WideText FolderOf(const WideText& path) {
  const std::size_t separator = path.rfind(u'/');
  if (separator == WideText::npos) return u".";
  return separator == 0 ? u"/" : path.substr(0, separator);
}

std::optional<WriteFailure> WriteNewFile(const WideText& path, std::string_view bytes) {
  // Permissions as a linker gives a program it writes, less the umask.
  const int file = open(Native(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0777);
  if (file < 0) return WriteFailure{WriteStep::kCreate, LastError()};
  const bool written = WriteAll(file, bytes) && fsync(file) == 0;
  const SystemError error = written ? 0 : LastError();
  if (!CloseFile(file) && written) return WriteFailure{WriteStep::kWrite, LastError()};
  if (!written) return WriteFailure{WriteStep::kWrite, error};
  return std::nullopt;
}

std::optional<ReplaceFailure> ReplaceExistingFile(const WideText& target, const WideText& replacement,
                                                  const WideText&) {
  struct stat replaced {};
  // The set-ID bits would give the copy its new owner's rights; the sticky
  // bit means nothing on a file.
  if (stat(Native(target).c_str(), &replaced) == 0 &&
      chmod(Native(replacement).c_str(), replaced.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO)) != 0) {
    return ReplaceFailure{ReplaceFailureKind::kRefused, LastError()};
  }
  return MoveToNewName(replacement, target);
}

std::optional<ReplaceFailure> MoveToNewName(const WideText& from, const WideText& to) {
  // A folder that may be written but not read (mode 0333) cannot be opened:
  // opened before the rename, so that its failure is not taken for the
  // rename's. The rename is on the disk only once the folder is.
  const int folder = open(Native(FolderOf(to)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::optional<ReplaceFailure> failure;
  if (rename(Native(from).c_str(), Native(to).c_str()) != 0) {
    failure = ReplaceFailure{ReplaceFailureKind::kRefused, LastError()};
  } else if (folder >= 0) {
    // Some file systems cannot flush a folder (EINVAL); the copy is in place
    // all the same.
    fsync(folder);
  }
  if (folder >= 0) CloseFile(folder);
  return failure;
}

std::optional<ReplaceFailure> RemoveFile(const WideText& path) {
  if (unlink(Native(path).c_str()) != 0) return ReplaceFailure{ReplaceFailureKind::kRefused, LastError()};
  return std::nullopt;
}

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(getpid()); }

std::uint64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

void WaitMilliseconds(std::uint32_t milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
