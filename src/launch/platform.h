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

// Opens the file at `path` for reading in the runtime's text mode (a CR LF pair
// reads as one LF). Returns null when it cannot be opened, whatever the cause.
std::FILE* OpenConfigFile(const WideText& path);

// Makes the rest of `file` read as the bytes stored, without the text mode's
// CR LF and end-of-file translation, from byte `offset` on. False when it
// cannot.
bool ReadBytesFrom(std::FILE* file, long offset);

// Decodes bytes through the system's ANSI code page.
WideText DecodeAnsi(std::string_view bytes);

// Creates the application's process from `commandLine` with `directory` as its
// current directory (passed on as given, also when empty) and does not wait for
// it. Returns nothing on success, or the system error code of the failure.
std::optional<std::uint32_t> StartApplication(WideText commandLine,
                                              WideText directory);

// Shows `message` in the launcher's modal error box; returns once dismissed.
void ShowLaunchError(WideText message);
