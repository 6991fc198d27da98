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

// The show state (an SW_ value) that the launcher's own creator asked for with
// STARTF_USESHOWWINDOW, as a shortcut's "Run" setting or start /min does;
// nothing when it asked for none.
std::optional<std::uint16_t> RequestedShowState();

// Opens the file at `path` for reading in the runtime's text mode (a CR LF pair
// reads as one LF). Returns null when it cannot be opened, whatever the cause.
std::FILE* OpenConfigFile(const WideText& path);

// Makes the rest of `file` read as the bytes stored, without the text mode's
// CR LF and end-of-file translation, from byte `offset` on. False when it
// cannot.
bool ReadBytesFrom(std::FILE* file, long offset);

// Decodes bytes through the system's ANSI code page.
WideText DecodeAnsi(std::string_view bytes);

// Creates the application's process (CreateProcessW) from `commandLine` with
// `directory` as its current directory (passed on as given, also when empty)
// and, when given, `showState` as its STARTF_USESHOWWINDOW request; nothing
// else of the launcher's own start is passed on. Does not wait for it. Returns
// nothing on success, or the system error code of the failure.
std::optional<std::uint32_t> StartApplication(WideText commandLine, WideText directory,
                                              std::optional<std::uint16_t> showState);

// Starts `file` with `parameters` as the shell does (ShellExecuteExW), so that
// Windows asks for elevation when the program's manifest requires it; with
// `directory` as its directory and `showState` as its show state, without
// waiting for it and without any window of the shell's own. SHELL32 and OLE32
// are loaded by their full System32 paths here, never before. Returns nothing
// on success, or the system error code (ERROR_CANCELLED when the user declined
// the elevation prompt).
std::optional<std::uint32_t> StartThroughShell(WideText file, WideText parameters,
                                               WideText directory, std::uint16_t showState);

// Puts back Windows' default DLL search (SetDllDirectoryW(nullptr)), so that a
// process created now does not inherit the launcher's narrowed one.
void RestoreDefaultDllDirectory();

// Takes the current directory out of the launcher's DLL search again
// (SetDllDirectoryW(L"")).
void ExcludeCurrentDirectoryFromDllSearch();

// Shows `message` in the launcher's modal error box; returns once dismissed.
void ShowLaunchError(WideText message);
