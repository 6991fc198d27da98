#pragma once

#include <cstdint>

#include "launch/launch_types.h"

// The launcher's one run: resolves the configuration path from the raw command
// line (or from the launcher's module path when the command line names it
// without a backslash path, see LauncherPathSource), reads the template,
// expands it with `argumentTail` (the command line after the program token),
// and starts the application with the show state the launcher was given. An
// application that needs elevation is started through the shell. The first
// failing step shows its message once and ends the run with kErrorShown; a
// declined elevation prompt ends it with kElevationDeclined and no message.
// `dllSearch` is how the launcher narrowed its own DLL search, which the
// application must not inherit. Never waits for the application.
LaunchStatus RunLauncher(WideText argumentTail, DllSearch dllSearch);

// The text that names the launcher's path for its configuration file and
// placeholders: `rawCommandLine` when its program token is a path that holds
// ".exe" after a backslash, or names another program than the launcher's own
// module; otherwise (the launcher named by a bare name, without ".exe", or by
// a path with forward slashes) the launcher's module path. Looks the module
// path up only in that second case.
WideText LauncherPathSource(const WideText& rawCommandLine);

// The text shown for `failure`. `subject` is the raw command line
// (kNoExeInCommandLine), the configuration path (kConfigNotFound, kConfigEmpty)
// or the expanded command line (kApplicationNotFound, kApplicationStartFailed),
// inserted unchanged; `systemError` is shown by kApplicationStartFailed only.
WideText LaunchErrorMessage(LaunchFailure failure, const WideText& subject,
                            std::uint32_t systemError = 0);
