#pragma once

#include <cstdint>

#include "launch/launch_types.h"

// The launcher's one run: resolves the configuration path from the raw command
// line, reads the template, expands it with `argumentTail` (the command line
// after the program token), and starts the application. The first failing step
// shows its message once and ends the run with kErrorShown. Never waits for the
// application.
LaunchStatus RunLauncher(WideText argumentTail);

// The text shown for `failure`. `subject` is the raw command line
// (kNoExeInCommandLine), the configuration path (kConfigNotFound, kConfigEmpty)
// or the expanded command line (kApplicationNotFound, kApplicationStartFailed),
// inserted unchanged; `systemError` is shown by kApplicationStartFailed only.
WideText LaunchErrorMessage(LaunchFailure failure, const WideText& subject,
                            std::uint32_t systemError = 0);
