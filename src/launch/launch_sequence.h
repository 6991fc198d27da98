#pragma once

#include <cstdint>

#include "launch/launch_types.h"
#include "launch/platform.h"

// The launcher's one run: finds its own path and arguments in the raw command
// line (see FindOwnStart) as the file system has it (see FileSystemPath),
// reads the template from the configuration file beside it, expands it with
// its arguments and starts the application with what its own creator asked
// of its start (see StartupToPassOn). An application that needs elevation is
// started through the shell. The first failing step shows its message once
// and ends the run with kErrorShown; a declined elevation prompt ends it with
// kElevationDeclined and no message. `argumentTail` is the runtime's tail, the
// command line after its first token; `dllSearch` is how the launcher
// narrowed its own DLL search, which the application must not inherit. Never
// waits for the application.
LaunchStatus RunLauncher(WideText argumentTail, DllSearch dllSearch);

// The launcher's own path, ending in its ".exe", and its arguments.
struct OwnStart {
  WideText path;
  WideText argumentTail;
};

// The launcher's path and arguments as Windows read its name in
// `rawCommandLine`. A quoted name that ExePathNamedIn reads as a path with a
// backslash before its file name is that path, found without a look at the
// module path. An unquoted name ends where EndOfOwnName finds the launcher's
// module (LauncherModulePath); it is read as ProgramPathOf reads it, and the
// arguments start after it and its blanks (`argumentTail` when it ends at the
// first blank). Otherwise, as for a start by a short name, a "\\?\" path or
// through PATH: the path ExePathNamedIn reads within the first token when a
// backslash comes before its file name; else the module path when the first
// token names its file (NamesFile); else the path ExePathNamedIn reads, or
// kNoExeInCommandLine; with `argumentTail` as the arguments.
Outcome<OwnStart> FindOwnStart(const WideText& rawCommandLine, WideText argumentTail);

// `path` as the file system has it: made absolute (FullPathName) when it is
// relative or holds a "/", unless it holds a quote and so names no file; then
// with the long file name (LongPathName) when its file name has the short form
// and the long one, also ending in ".exe", differs other than in ASCII letter
// case. The folders keep the spelling they were given; an absolute path
// without a "/" is otherwise kept byte for byte.
WideText FileSystemPath(WideText path);

// The path that "[.]", "[..]" and the current directory are cut from: the
// configuration path without its "\\?\" prefix (WithoutLongPathPrefix) when
// FullPathName gives the plain path back unchanged, so that both name the same
// file; otherwise the configuration path as it is.
WideText PlaceholderPath(WideText configPath);

// What of the launcher's own start its application is given: the show state;
// a shortcut's identity with its title (the link's path, or else an
// AppUserModelID and, when asked, the request not to be pinned); the hot key,
// unless hStdInput holds a standard handle; the mark of an untrusted source.
// Nothing else: no standard handles, position, size, console or monitor.
StartupRequest StartupToPassOn(const StartupRequest& own);

// The text shown for `failure`. `subject` is the raw command line
// (kNoExeInCommandLine), the configuration path (kConfigNotFound, kConfigEmpty)
// or the expanded command line (kApplicationNotFound, kApplicationStartFailed),
// inserted unchanged; `systemError` is shown by kApplicationStartFailed only.
WideText LaunchErrorMessage(LaunchFailure failure, const WideText& subject,
                            std::uint32_t systemError = 0);
