#pragma once

// The few things the launch logic needs from the operating system. The product
// links the Windows definitions; the tests link definitions that record calls
// and fail on command.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "launch/launch_types.h"

// The raw command line of this process, exactly as its creator wrote it.
WideText RawCommandLine();

// The full path of the launcher's own executable (GetModuleFileNameW), up to
// 32,767 code units. Nothing when it cannot be had whole.
std::optional<WideText> LauncherModulePath();

// `path` made absolute against the current directory (for "C:x", drive C's
// own), with "/" read as "\", repeated separators, "." and ".." components and
// trailing dots and spaces of components resolved (GetFullPathNameW). Nothing
// when it cannot be had.
std::optional<WideText> FullPathName(const WideText& path);

// The file CreateProcessW would run for the program name `name`, as
// SearchPathW(NULL, name, L".exe") finds it: for an absolute path that path,
// with ".exe" added when its file name has no extension; for any other name,
// the first such file in the launcher's own folder, the current directory,
// the system folders and PATH. Nothing when there is none, or when it is a
// folder.
std::optional<WideText> FindProgramFile(const WideText& name);

// `path` with the long name of each of its components (GetLongPathNameW), in
// the letter case the file system stores; the file must exist. Nothing when it
// cannot be had.
std::optional<WideText> LongPathName(const WideText& path);

// Flags of STARTUPINFOW that the launch logic looks at (Windows' own values).
inline constexpr std::uint32_t kStartUseShowWindow = 0x1;
inline constexpr std::uint32_t kStartUseStdHandles = 0x100;
inline constexpr std::uint32_t kStartUseHotKey = 0x200;
inline constexpr std::uint32_t kStartTitleIsLinkName = 0x800;
inline constexpr std::uint32_t kStartTitleIsAppId = 0x1000;
inline constexpr std::uint32_t kStartPreventPinning = 0x2000;
inline constexpr std::uint32_t kStartUntrustedSource = 0x8000;

// What a process's creator asks of its start in STARTUPINFOW, as far as the
// launcher reads or passes it on.
struct StartupRequest {
  std::uint32_t flags = 0;
  std::uint16_t showWindow = 0;  // an SW_ value, with kStartUseShowWindow
  WideText title;                // lpTitle: a shortcut's path or an AppUserModelID
  std::uintptr_t standardInput = 0;  // hStdInput: the hot key, with kStartUseHotKey
  friend bool operator==(const StartupRequest&, const StartupRequest&) = default;
};

// What the launcher's own creator asked of its start (GetStartupInfoW): a
// shortcut's show state, identity and hot key, start /min's show state.
StartupRequest OwnStartup();

// Opens the file at `path` for reading in the runtime's text mode (a CR LF pair
// reads as one LF), sharing it with every other reader, writer and deleter, so
// that an editor or a sync client holding it open does not stop the launcher.
// Returns null when it cannot be opened, whatever the cause.
std::FILE* OpenConfigFile(const WideText& path);

// Makes the rest of `file` read as the bytes stored, without the text mode's
// CR LF and end-of-file translation, from byte `offset` on. False when it
// cannot.
bool ReadBytesFrom(std::FILE* file, long offset);

// Decodes bytes through the system's ANSI code page.
WideText DecodeAnsi(std::string_view bytes);

// Creates the application's process (CreateProcessW) from `commandLine` with
// `directory` as its current directory (passed on as given, also when empty)
// and a STARTUPINFOW holding `startup` and nothing else (no title when it is
// empty). Does not wait for it. Returns nothing on success, or the system error
// code of the failure.
std::optional<std::uint32_t> StartApplication(WideText commandLine, WideText directory,
                                              StartupRequest startup);

// Starts `file` with `parameters` as the shell does (ShellExecuteExW), so that
// Windows asks for elevation when the program's manifest requires it; with
// `directory` as its directory, `showState` as its show state and, when given,
// `hotKey` as its hot key, without waiting for it and without any window of
// the shell's own. SHELL32 and OLE32
// are loaded by their full System32 paths here, never before. Returns nothing
// on success, or the system error code (ERROR_CANCELLED when the user declined
// the elevation prompt).
std::optional<std::uint32_t> StartThroughShell(WideText file, WideText parameters,
                                               WideText directory, std::uint16_t showState,
                                               std::optional<std::uint32_t> hotKey);

// Puts back Windows' default DLL search (SetDllDirectoryW(nullptr)), so that a
// process created now does not inherit the launcher's narrowed one.
void RestoreDefaultDllDirectory();

// Takes the current directory out of the launcher's DLL search again
// (SetDllDirectoryW(L"")).
void ExcludeCurrentDirectoryFromDllSearch();

// Shows `message` in the launcher's modal error box; returns once dismissed.
void ShowLaunchError(WideText message);
