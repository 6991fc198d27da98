#pragma once

// launcher-brand's whole run, in portable code: the same on Windows and on
// Linux but for the file access and error texts of brand_platform.h.

#include <variant>
#include <vector>

#include "brand/brand_request.h"
#include "brand/bytes.h"

// The whole program file at `path`, read once, or the failure that names it:
// `missing` when there is no such file, `tooLarge` beyond the 4 GiB that a
// Windows program's 32-bit offsets reach, and `unreadable` with the system's
// error for anything else.
std::variant<Bytes, BrandFailure> ReadProgramFile(const WideText& path, BrandProblem missing,
                                                  BrandProblem tooLarge, BrandProblem unreadable);

// Writes the branded copy that `request` asks for. Reads SOURCE, the icon
// file (an .ico file, or a logo PNG the whole icon is made from) or program
// once each, by the path as given; checks them and TARGET
// (SOURCE must be a launcher, and TARGET, when it exists, a launcher or a
// branded copy of one that is none of the inputs, not read-only and not a
// link); builds the copy in memory, reads it back to check it holds the
// resources asked for; writes it to a new temporary file beside TARGET,
// flushed to the disk, reads that back and compares it, and only then puts
// it in TARGET's place, trying again for a while when another process holds
// a file. The notices for the maker when TARGET is in place (launcher.exe's
// own version fields kept, an icon file's PNG images stored as 8-bit RGBA, a
// backup that could not be removed); otherwise the
// failure, with TARGET as it was and no file of the run left but those the
// failure names. Never modifies SOURCE or the icon's file.
std::variant<std::vector<WideText>, BrandFailure> WriteBrandedCopy(const BrandRequest& request);

// What a run of the tool prints and returns.
struct BrandToolRun {
  int status = 0;
  WideText output;  // for the standard output, lines ending in '\n'
  WideText errors;  // for the standard error, lines ending in '\n'
};

// Runs the tool on `arguments`, the command line's words after its name:
// the help (status 0), one line naming what was written and the notices on
// the error stream (status 0), or one line naming the failure (status 1).
BrandToolRun RunBrandTool(const std::vector<WideText>& arguments);
