#pragma once

#include "launch/launch_types.h"

// The configuration file's path from the raw command line: less a leading
// quote, up to the first ".exe" in any ASCII letter case, then ".ini". The
// letter case of the path is kept. kNoExeInCommandLine when there is no ".exe".
Outcome<WideText> ResolveConfigPath(WideText rawCommandLine);

// The command template: the first line of the file, without its line ending
// and without anything from a NUL on. After a byte-order mark FF FE or FE FF
// the file is UTF-16 (little- or big-endian). Otherwise the line is decoded as
// UTF-8 when it is valid UTF-8 (a leading byte-order mark dropped), else
// through the ANSI code page. kConfigNotFound when the file cannot be opened;
// kConfigEmpty when it is empty, its size cannot be taken, it cannot be read
// from its start, or its first line holds nothing but spaces and tabs. Reads
// only the first line, so memory follows the line, not the file.
Outcome<WideText> ReadCommandTemplate(WideText configPath);

