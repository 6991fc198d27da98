#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "launch/dll_search_win32.h"
#include "launch/platform.h"
#include "text/win32_text.h"

WideText RawCommandLine() { return FromWindowsText(GetCommandLineW()); }

std::optional<WideText> LauncherModulePath() {
  // A result that fills the buffer may have been cut short: no path then.
  constexpr DWORD kBufferUnits = 32'768;
  WideText path(kBufferUnits, u'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()), kBufferUnits);
  if (length == 0 || length >= kBufferUnits) return std::nullopt;
  path.resize(length);
  return path;
}

namespace {

// A Windows function that writes a path's other form into a buffer of `units`
// code units and returns its length, or when the buffer is too small the units
// it needs, or 0 on failure.
using PathQuery = DWORD(WINAPI*)(const wchar_t* path, wchar_t* buffer, DWORD units);

DWORD WINAPI QueryFullPathName(const wchar_t* path, wchar_t* buffer, DWORD units) {
  return GetFullPathNameW(path, units, buffer, nullptr);
}

DWORD WINAPI QueryProgramFile(const wchar_t* name, wchar_t* buffer, DWORD units) {
  return SearchPathW(nullptr, name, L".exe", units, buffer, nullptr);
}

// The needed size can grow between two calls, so a few tries are made.
std::optional<WideText> QueryPath(PathQuery query, const WideText& path) {
  WideText text(MAX_PATH, u'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD units = static_cast<DWORD>(text.size());
    const DWORD length = query(AsWindowsText(path), reinterpret_cast<wchar_t*>(text.data()), units);
    if (length == 0) return std::nullopt;
    text.resize(length);
    if (length < units) return text;
  }
  return std::nullopt;
}

}  // namespace

std::optional<WideText> FullPathName(const WideText& path) {
  return QueryPath(QueryFullPathName, path);
}

// SearchPathW finds folders too, which CreateProcessW does not run.
std::optional<WideText> FindProgramFile(const WideText& name) {
  std::optional<WideText> found = QueryPath(QueryProgramFile, name);
  if (!found) return std::nullopt;
  const DWORD attributes = GetFileAttributesW(AsWindowsText(*found));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return std::nullopt;
  return found;
}

std::optional<WideText> LongPathName(const WideText& path) {
  return QueryPath(GetLongPathNameW, path);
}

StartupRequest OwnStartup() {
  STARTUPINFOW own{};
  own.cb = sizeof(own);
  GetStartupInfoW(&own);
  return {own.dwFlags, own.wShowWindow, FromWindowsText(own.lpTitle),
          reinterpret_cast<std::uintptr_t>(own.hStdInput)};
}

// SHELL32 and OLE32 are loaded only here, by their full paths as USER32 is:
// importing them would make every start pay for their initialisation, and only
// an application that needs elevation is started through the shell.
std::optional<std::uint32_t> StartThroughShell(WideText file, WideText parameters,
                                               WideText directory, std::uint16_t showState,
                                               std::optional<std::uint32_t> hotKey) {
  const HMODULE ole32 = LoadSystemDll(L"ole32.dll");
  if (ole32 == nullptr) return GetLastError();
  const auto initialize =
      AsFunction<decltype(&CoInitializeEx)>(GetProcAddress(ole32, "CoInitializeEx"));
  if (initialize == nullptr) return GetLastError();
  // The shell may hand the start to COM objects that need a single-threaded
  // apartment. Its result is not examined: a thread already initialised
  // otherwise still lets ShellExecuteExW try.
  initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  const HMODULE shell32 = LoadSystemDll(L"shell32.dll");
  if (shell32 == nullptr) return GetLastError();
  const auto execute =
      AsFunction<decltype(&ShellExecuteExW)>(GetProcAddress(shell32, "ShellExecuteExW"));
  if (execute == nullptr) return GetLastError();
  SHELLEXECUTEINFOW start{};
  start.cbSize = sizeof(start);
  // NOASYNC: the launcher exits right after, which must not cut the start
  // short. FLAG_NO_UI: failures are the launcher's to report, in its own box.
  start.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  start.lpFile = AsWindowsText(file);
  start.lpParameters = AsWindowsText(parameters);
  start.lpDirectory = AsWindowsText(directory);
  start.nShow = showState;
  // SHELLEXECUTEINFOW has no field for a shortcut's path or AppUserModelID:
  // an application started this way gets a taskbar button of its own, apart
  // from the pinned shortcut. Its hot key can be passed on.
  if (hotKey) {
    start.fMask |= SEE_MASK_HOTKEY;
    start.dwHotKey = *hotKey;
  }
  if (execute(&start)) return std::nullopt;
  return GetLastError();
}

void RestoreDefaultDllDirectory() { SetDllDirectoryW(nullptr); }

void ExcludeCurrentDirectoryFromDllSearch() { SetDllDirectoryW(L""); }

// USER32 is loaded only here: importing it makes every start pay for its
// initialisation, and a run that goes well never shows a box. Without USER32
// the message cannot be shown; the exit status still reports the failure.
void ShowLaunchError(WideText message) {
  const HMODULE user32 = LoadSystemDll(L"user32.dll");
  if (user32 == nullptr) return;
  const auto showBox = AsFunction<decltype(&MessageBoxW)>(GetProcAddress(user32, "MessageBoxW"));
  if (showBox == nullptr) return;
  showBox(nullptr, AsWindowsText(message), L"Application Launch Error", MB_ICONERROR);
}
