// launcher-brand's file access on Windows, through the wide API.
#include <windows.h>

#include <algorithm>

#include "brand/brand_platform.h"
#include "text/text.h"
#include "text/win32_text.h"

namespace {

// ReadFile and WriteFile take a 32-bit count.
constexpr std::size_t kChunk = std::size_t{1} << 30;

HANDLE OpenForReading(const WideText& path, DWORD access, DWORD flags) {
  return CreateFileW(AsWindowsText(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, flags, nullptr);
}

std::variant<Bytes, FileTooLarge, SystemError> ReadOpenFile(HANDLE file, std::size_t largest) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return GetLastError();
  if (static_cast<std::uint64_t>(size.QuadPart) > largest) return FileTooLarge{};
  Bytes bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  for (std::size_t at = 0; at < bytes.size();) {
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(std::min(bytes.size() - at, kChunk));
    if (!ReadFile(file, bytes.data() + at, wanted, &read, nullptr)) return GetLastError();
    if (read == 0) return static_cast<SystemError>(ERROR_HANDLE_EOF);
    at += read;
  }
  return bytes;
}

std::variant<FileIdentity, SystemError> IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file, &information)) return GetLastError();
  return FileIdentity{information.dwVolumeSerialNumber,
                      std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow};
}

// The reparse tag of the reparse point at `path`, or 0 when it cannot be read.
DWORD ReparseTagOf(const WideText& path) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(AsWindowsText(path), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? found.dwReserved0 : 0;
}

// Symbolic links and junctions lead elsewhere; other reparse points (cloud
// files, deduplicated files) are files in their own place.
bool IsLinkTag(DWORD tag) { return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT; }

}  // namespace

std::variant<Bytes, FileTooLarge, SystemError> ReadFileBytes(const WideText& path, std::size_t largest) {
  const HANDLE file = OpenForReading(path, GENERIC_READ, FILE_ATTRIBUTE_NORMAL);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  auto read = ReadOpenFile(file, largest);
  CloseHandle(file);
  return read;
}

bool IsMissingFile(SystemError error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool IsExistingFile(SystemError error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

bool IsBlockedByScanner(SystemError error) { return IsWindowsScannerBlock(error); }

WideText SystemErrorText(SystemError error) { return u"system error #" + DecimalText(error); }

std::variant<FileState, SystemError> InspectFile(const WideText& path) {
  const DWORD attributes = GetFileAttributesW(AsWindowsText(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (IsMissingFile(error)) return FileState{};
    return error;
  }
  FileState state;
  state.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkTag(ReparseTagOf(path));
  state.kind = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0 ? FileKind::kOther
                                                                                       : FileKind::kFile;
  state.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  // Backup semantics open folders too; no access is asked for, so even a file
  // open elsewhere for writing can be identified.
  const HANDLE file = OpenForReading(path, 0, FILE_FLAG_BACKUP_SEMANTICS);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // A link that leads nowhere.
    if (state.link && IsMissingFile(error)) return FileState{FileKind::kAbsent, false, {}, true};
    return error;
  }
  const auto identity = IdentityOf(file);
  CloseHandle(file);
  if (const auto* error = std::get_if<SystemError>(&identity)) return *error;
  state.identity = std::get<FileIdentity>(identity);
  return state;
}

WideText FolderOf(const WideText& path) {
  const bool drive = path.size() >= 2 && path[1] == u':';
  const std::size_t separator = path.find_last_of(u"\\/");
  if (separator == WideText::npos) return drive ? path.substr(0, 2) : WideText(u".");
  const bool root = separator == 0 || (drive && separator == 2);
  return path.substr(0, root ? separator + 1 : separator);
}

std::optional<WriteFailure> WriteNewFile(const WideText& path, std::string_view bytes) {
  const HANDLE file =
      CreateFileW(AsWindowsText(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WriteFailure{WriteStep::kCreate, GetLastError()};
  DWORD error = 0;
  while (error == 0 && !bytes.empty()) {
    DWORD written = 0;
    const auto wanted = static_cast<DWORD>(std::min(bytes.size(), kChunk));
    if (!WriteFile(file, bytes.data(), wanted, &written, nullptr)) {
      error = GetLastError();
    } else if (written == 0) {
      error = ERROR_WRITE_FAULT;
    }
    bytes.remove_prefix(written);
  }
  if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
  if (!CloseHandle(file) && error == 0) error = GetLastError();
  if (error != 0) return WriteFailure{WriteStep::kWrite, error};
  return std::nullopt;
}

std::optional<ReplaceFailure> ReplaceExistingFile(const WideText& target, const WideText& replacement,
                                                  const WideText& backup) {
  if (!ReplaceFileW(AsWindowsText(target), AsWindowsText(replacement), AsWindowsText(backup), 0, nullptr,
                    nullptr)) {
    return WindowsReplaceFailure(GetLastError());
  }
  return std::nullopt;
}

std::optional<ReplaceFailure> MoveToNewName(const WideText& from, const WideText& to) {
  if (!MoveFileExW(AsWindowsText(from), AsWindowsText(to), MOVEFILE_WRITE_THROUGH)) {
    return WindowsReplaceFailure(GetLastError());
  }
  return std::nullopt;
}

std::optional<ReplaceFailure> RemoveFile(const WideText& path) {
  if (!DeleteFileW(AsWindowsText(path))) return WindowsReplaceFailure(GetLastError());
  return std::nullopt;
}

std::uint32_t ProcessId() { return GetCurrentProcessId(); }

std::uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

void WaitMilliseconds(std::uint32_t milliseconds) { Sleep(milliseconds); }
