#pragma once

#include "launch/launch_types.h"

// The configuration file's path for the launcher at `launcherPath`, which ends
// in ".exe" in any ASCII letter case: the same path with ".ini" in place of
// that ".exe". The letter case of the rest is kept.
WideText ConfigPathFor(WideText launcherPath);

// The command template: the first line of the file, without its line ending
// and without anything from a NUL on. After a byte-order mark FF FE or FE FF
// the file is UTF-16 (little- or big-endian). Otherwise the line is decoded as
// UTF-8 when it is valid UTF-8 (a leading byte-order mark dropped), else
// through the ANSI code page. kConfigNotFound when the file cannot be opened;
// kConfigEmpty when it is empty, its size cannot be taken, it cannot be read
// from its start, or its first line holds nothing but spaces and tabs. Reads
// only the first line, so memory follows the line, not the file.
Outcome<WideText> ReadCommandTemplate(WideText configPath);

