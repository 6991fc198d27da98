// A stand-in application: it records how it was started, then exits.
//
// It writes, beside its own executable, the file with the same path but
// ".received.txt" in place of ".exe" (rt\app.exe writes rt\app.received.txt),
// in UTF-8, each line ending in "\n":
//   command line: <GetCommandLineW() as it is>
//   directory: <current directory>
//   process id: <process id in decimal>
//   startup flags: <dwFlags of GetStartupInfoW, in decimal>
//   show window: <its wShowWindow, in decimal>
//   title: <its lpTitle>
//   inherited handle: <yes when it holds the section the end-to-end harness
//                      passed its launcher as inheritable, else no>
//   console: <yes when it has a console, else no>
// The file is replaced in one step, so a reader never sees half of it.
//
// After recording, these words of its command line change what it does next:
//   --hold=NAME     wait (at most 60 s) until the named event NAME is set,
//                   then exit 0: a child that is still running.
//   --exit-at-once  exit with code 3: a child that fails at once.
// Otherwise it exits 0.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>

#include "received_record.h"

namespace {

constexpr DWORD kHoldTimeoutMs = 60'000;
constexpr int kExitAtOnceCode = 3;
constexpr std::wstring_view kHoldOption = L"--hold=";
constexpr std::wstring_view kExitAtOnceOption = L"--exit-at-once";

std::wstring OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) {
    return {};
  }
  std::wstring directory(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, directory.data());
  directory.resize(length < needed ? length : 0);
  return directory;
}

// A section reaches this process only when every starter in between let
// handles be inherited.
bool HoldsInheritedSection() {
  wchar_t value[32];
  const DWORD length = GetEnvironmentVariableW(kInheritableVariable, value, 32);
  if (length == 0 || length >= 32) {
    return false;
  }
  const auto section = reinterpret_cast<HANDLE>(
      static_cast<std::uintptr_t>(std::wcstoull(value, nullptr, 10)));
  const void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, sizeof(kInheritedMarker));
  if (view == nullptr) {
    return false;
  }
  const bool marked = std::memcmp(view, kInheritedMarker, sizeof(kInheritedMarker)) == 0;
  UnmapViewOfFile(view);
  return marked;
}

// What the process was given besides its command line and directory.
std::string StartParameters() {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  return "startup flags: " + std::to_string(startup.dwFlags) + "\n" +
         "show window: " + std::to_string(startup.wShowWindow) + "\n" +
         "title: " + Utf8(startup.lpTitle != nullptr ? startup.lpTitle : L"") + "\n" +
         "inherited handle: " + (HoldsInheritedSection() ? "yes" : "no") + "\n" +
         "console: " + (GetConsoleCP() != 0 ? "yes" : "no") + "\n";
}

// Writes a sibling temporary file and moves it over the record, so that a
// test polling for the record sees either nothing or all of it.
bool WriteRecord(const std::wstring& path, const std::string& content) {
  const std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  const bool complete =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
      written == content.size();
  CloseHandle(file);
  if (!complete ||
      !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

// The rest of the first word that starts with `option`, or nothing. Words are
// separated by spaces or tabs; quoting is not interpreted, which is enough for
// the options above.
std::optional<std::wstring> OptionValue(std::wstring_view commandLine, std::wstring_view option) {
  size_t start = 0;
  while (start < commandLine.size()) {
    size_t end = commandLine.find_first_of(L" \t", start);
    if (end == std::wstring_view::npos) {
      end = commandLine.size();
    }
    const std::wstring_view word = commandLine.substr(start, end - start);
    if (word.starts_with(option)) {
      return std::wstring(word.substr(option.size()));
    }
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring commandLine = GetCommandLineW();
  const std::string record = "command line: " + Utf8(commandLine) + "\n" +
                             "directory: " + Utf8(CurrentDirectory()) + "\n" +
                             "process id: " + std::to_string(GetCurrentProcessId()) + "\n" +
                             StartParameters();
  if (!WriteRecord(RecordPathOf(OwnExecutablePath()), record)) {
    return 1;
  }

  if (const auto eventName = OptionValue(commandLine, kHoldOption)) {
    const HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, eventName->c_str());
    if (release == nullptr) {
      return 1;
    }
    const DWORD waited = WaitForSingleObject(release, kHoldTimeoutMs);
    CloseHandle(release);
    return waited == WAIT_OBJECT_0 ? 0 : 1;
  }
  if (OptionValue(commandLine, kExitAtOnceOption) == L"") {
    return kExitAtOnceCode;
  }
  return 0;
}
