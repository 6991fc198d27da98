#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#include "launch/dll_search_win32.h"
#include "process_inspection.h"

namespace {

constexpr DWORD kLauncherTimeoutMs = 30'000;
constexpr DWORD kRecordTimeoutMs = 30'000;
constexpr DWORD kPollMs = 20;

std::wstring& Launcher() {
  static std::wstring path;
  return path;
}

std::wstring& Application() {
  static std::wstring path;
  return path;
}

std::optional<std::wstring> FromUtf8(std::string_view bytes) {
  if (bytes.empty()) {
    return std::wstring();
  }
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                       static_cast<int>(bytes.size()), nullptr, 0);
  if (size == 0) {
    return std::nullopt;
  }
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                      text.data(), size);
  return text;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) {
    bytes.append(chunk, read);
  }
  CloseHandle(file);
  return bytes;
}

std::optional<DWORD> ParseNumber(std::string_view text) {
  DWORD number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return number;
}

std::optional<bool> ParseYesNo(std::string_view text) {
  if (text == "yes" || text == "no") {
    return text == "yes";
  }
  return std::nullopt;
}

// Splits the record, a "label: value" line for each field in this order, into
// its values.
std::optional<ProbeRecord> ParseRecord(std::string_view bytes) {
  constexpr std::string_view kLabels[] = {
      "command line: ", "directory: ", "process id: ", "startup flags: ",
      "show window: ", "title: ", "inherited handle: ", "console: "};
  std::string_view values[std::size(kLabels)];
  for (size_t i = 0; i < std::size(kLabels); ++i) {
    const size_t end = bytes.find('\n');
    if (end == std::string_view::npos || !bytes.starts_with(kLabels[i])) {
      return std::nullopt;
    }
    values[i] = bytes.substr(kLabels[i].size(), end - kLabels[i].size());
    bytes.remove_prefix(end + 1);
  }
  const auto commandLine = FromUtf8(values[0]);
  const auto directory = FromUtf8(values[1]);
  const auto processId = ParseNumber(values[2]);
  const auto startupFlags = ParseNumber(values[3]);
  const auto showWindow = ParseNumber(values[4]);
  const auto title = FromUtf8(values[5]);
  const auto inheritedHandle = ParseYesNo(values[6]);
  const auto console = ParseYesNo(values[7]);
  if (!bytes.empty() || !commandLine || !directory || !processId || !startupFlags ||
      !showWindow || !title || !inheritedHandle || !console) {
    return std::nullopt;
  }
  return ProbeRecord{*commandLine, *directory,   *processId,       *startupFlags,
                     *showWindow,  *title,       *inheritedHandle, *console};
}

// Once per test program: an inheritable section holding kInheritedMarker,
// named to the launcher and, through the environment it hands on, to the
// probe.
void OfferInheritableSection() {
  static const bool offered = [] {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    const HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE,
                                              0, sizeof(kInheritedMarker), nullptr);
    void* view = section == nullptr ? nullptr : MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) {
      return false;
    }
    std::memcpy(view, kInheritedMarker, sizeof(kInheritedMarker));
    UnmapViewOfFile(view);
    const auto value = std::to_wstring(reinterpret_cast<std::uintptr_t>(section));
    return SetEnvironmentVariableW(kInheritableVariable, value.c_str()) != FALSE;
  }();
  EXPECT_TRUE(offered) << "cannot offer an inheritable section, error " << GetLastError();
}

}  // namespace

void SetProgramsUnderTest(std::wstring launcher, std::wstring application) {
  Launcher() = ToWindowsPath(std::move(launcher));
  Application() = ToWindowsPath(std::move(application));
}

const std::wstring& LauncherProgram() { return Launcher(); }

const std::wstring& ApplicationProgram() { return Application(); }

std::wstring BesideThisProgram(std::wstring_view fileName) {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path(self, length < MAX_PATH ? length : 0);
  return path.substr(0, path.find_last_of(L'\\') + 1).append(fileName);
}

std::wstring ToWindowsPath(std::wstring path) {
  if (path.empty() || path.front() != L'/') {
    return path;
  }
  for (wchar_t& unit : path) {
    if (unit == L'/') {
      unit = L'\\';
    }
  }
  return L"Z:" + path;
}

std::wstring MakeScratchDirectory() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(static_cast<DWORD>(std::size(temp)), temp);
  if (length == 0 || length > MAX_PATH) {
    return {};
  }
  std::wstring base(temp, length);
  if (base.back() != L'\\') {
    base += L'\\';
  }
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring candidate = base + L"launcher-e2e-" + std::to_wstring(GetCurrentProcessId()) +
                                   L"-" + std::to_wstring(++counter);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      return candidate;
    }
  }
  return {};
}

void RemoveTree(const std::wstring& directory) {
  // A probe that has just written its record may still be running, and its
  // executable cannot be deleted until it has ended.
  constexpr DWORD kRemoveTimeoutMs = 10'000;
  const ULONGLONG deadline = GetTickCount64() + kRemoveTimeoutMs;
  const std::filesystem::path tree(directory);
  std::error_code error;
  for (;;) {
    std::filesystem::remove_all(tree, error);
    if (!std::filesystem::exists(tree, error) || GetTickCount64() > deadline) {
      return;
    }
    Sleep(kPollMs);
  }
}

bool CopyInto(const std::wstring& source, const std::wstring& target) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(target).parent_path(), error);
  return !error && CopyFileW(source.c_str(), target.c_str(), FALSE);
}

bool WriteBytes(const std::wstring& path, std::string_view bytes) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  if (error) {
    return false;
  }
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  bool complete = true;
  while (complete && !bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 20));
    DWORD written = 0;
    complete = WriteFile(file, bytes.data(), chunk, &written, nullptr) && written == chunk;
    bytes.remove_prefix(chunk);
  }
  return CloseHandle(file) && complete;
}

void PrintTo(const ShownBox& box, std::ostream* out) {
  *out << "{caption " << testing::PrintToString(box.caption) << ", text "
       << testing::PrintToString(box.text) << ", icon " << testing::PrintToString(box.icon)
       << (box.topmost ? ", topmost" : "") << "}";
}

namespace {

// The path of the process's loaded module named `name` (any letter case);
// empty when it has none.
std::wstring LoadedModulePath(HANDLE process, std::wstring_view name) {
  const HMODULE module = LoadedModule(process, name);
  wchar_t path[MAX_PATH];
  const DWORD length =
      module == nullptr ? 0 : K32GetModuleFileNameExW(process, module, path, MAX_PATH);
  return std::wstring(path, length);
}

std::wstring AwaitModule(HANDLE process, std::wstring_view name) {
  constexpr DWORD kModuleTimeoutMs = 10'000;
  const ULONGLONG deadline = GetTickCount64() + kModuleTimeoutMs;
  std::wstring path = LoadedModulePath(process, name);
  while (path.empty() && GetTickCount64() < deadline) {
    Sleep(kPollMs);
    path = LoadedModulePath(process, name);
  }
  return path;
}

// Has box_icon_hook name the icons of the boxes that the thread shows.
HHOOK HookBoxIcons(DWORD threadId) {
  static const HMODULE hookModule = LoadLibraryW(BesideThisProgram(L"box_icon_hook.dll").c_str());
  const auto nameBoxIcon = AsFunction<HOOKPROC>(
      hookModule == nullptr ? nullptr : GetProcAddress(hookModule, "NameBoxIcon"));
  const HHOOK hook = nameBoxIcon == nullptr
                         ? nullptr
                         : SetWindowsHookExW(WH_CALLWNDPROCRET, nameBoxIcon, hookModule, threadId);
  EXPECT_NE(hook, nullptr) << "cannot hook the launcher's boxes, error " << GetLastError();
  return hook;
}

// One start of the launcher, watched until it exits.
LaunchOutcome RunOnce(const std::wstring& program, const std::wstring& commandLine,
                      const std::wstring& directory, std::wstring_view awaitModule,
                      const LauncherStartup& launcherStartup) {
  LaunchOutcome outcome;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = launcherStartup.flags;
  startup.wShowWindow = launcherStartup.showWindow;
  std::wstring title(launcherStartup.title);
  startup.lpTitle = title.empty() ? nullptr : title.data();
  PROCESS_INFORMATION process{};
  std::wstring writableCommandLine = commandLine;
  OfferInheritableSection();
  if (!CreateProcessW(program.c_str(), writableCommandLine.data(), nullptr, nullptr, TRUE,
                      CREATE_SUSPENDED, nullptr, directory.c_str(), &startup, &process)) {
    outcome.startError = GetLastError();
    return outcome;
  }
  outcome.started = true;
  const HHOOK hook = HookBoxIcons(process.dwThreadId);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);

  std::set<HWND> seen;
  const ULONGLONG deadline = GetTickCount64() + kLauncherTimeoutMs;
  for (;;) {
    // Look for boxes once more after the exit too, so none is missed.
    const bool exited = WaitForSingleObject(process.hProcess, kPollMs) == WAIT_OBJECT_0;
    for (HWND box : MessageBoxesOf(process.dwProcessId)) {
      if (seen.insert(box).second) {
        outcome.boxes.push_back(
            {MessageBoxCaption(box), MessageBoxText(box), MessageBoxIcon(box), IsTopmost(box)});
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof(memory);
        if (outcome.peakWorkingSetAtBox == 0 &&
            K32GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory))) {
          outcome.peakWorkingSetAtBox = memory.PeakWorkingSetSize;
        }
        if (!awaitModule.empty() && outcome.boxes.size() == 1) {
          outcome.awaitedModulePath = AwaitModule(process.hProcess, awaitModule);
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      }
    }
    if (exited) {
      outcome.exited = true;
      break;
    }
    if (GetTickCount64() > deadline) {
      ADD_FAILURE() << "the launcher did not exit within " << kLauncherTimeoutMs << " ms";
      TerminateProcess(process.hProcess, 99);
      WaitForSingleObject(process.hProcess, kLauncherTimeoutMs);
      break;
    }
  }
  GetExitCodeProcess(process.hProcess, &outcome.exitCode);
  CloseHandle(process.hProcess);
  UnhookWindowsHookEx(hook);
  return outcome;
}

// Wine now and then fails a process creation with ERROR_INTERNAL_ERROR, the
// launcher's own or the one the launcher makes (then reported as "System error
// #1359"); no case here expects that code, so such a run is made again.
bool FailedInsideWine(const LaunchOutcome& outcome) {
  constexpr std::wstring_view kWineFailure = L"System error #1359 while starting the application '";
  return outcome.startError == ERROR_INTERNAL_ERROR ||
         (outcome.boxes.size() == 1 && outcome.boxes.front().text.starts_with(kWineFailure));
}

}  // namespace

LaunchOutcome RunLauncherProcess(const std::wstring& program, const std::wstring& commandLine,
                                 const std::wstring& directory, std::wstring_view awaitModule,
                                 const LauncherStartup& startup, DWORD declaredException) {
  constexpr int kAttempts = 3;
  LaunchOutcome outcome;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    outcome = RunOnce(program, commandLine, directory, awaitModule, startup);
    if (!FailedInsideWine(outcome)) {
      break;
    }
  }
  if (!outcome.started) {
    ADD_FAILURE() << "cannot start " << testing::PrintToString(program) << " as "
                  << testing::PrintToString(commandLine) << ", error " << outcome.startError;
  }
  constexpr DWORD kFirstExceptionStatus = 0xC0000000;
  if (outcome.exited && outcome.exitCode >= kFirstExceptionStatus &&
      outcome.exitCode != declaredException) {
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(outcome.exitCode));
    ADD_FAILURE() << testing::PrintToString(program) << " ended with exception " << code;
  }
  return outcome;
}

std::optional<ProbeRecord> WaitForRecord(const std::wstring& recordPath) {
  // The probe replaces the record in one step, yet under Wine the new file can
  // briefly refuse to open; so read until a whole record is there.
  const ULONGLONG deadline = GetTickCount64() + kRecordTimeoutMs;
  std::optional<std::string> bytes;
  for (;;) {
    bytes = ReadWholeFile(recordPath);
    if (bytes) {
      if (auto record = ParseRecord(*bytes)) {
        return record;
      }
    }
    if (GetTickCount64() > deadline) {
      break;
    }
    Sleep(kPollMs);
  }
  if (bytes) {
    ADD_FAILURE() << "malformed record " << testing::PrintToString(*bytes);
  } else {
    ADD_FAILURE() << "the application recorded nothing within " << kRecordTimeoutMs << " ms";
  }
  return std::nullopt;
}

