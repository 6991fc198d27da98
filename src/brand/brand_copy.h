#pragma once

// launcher-brand's whole run, in portable code: the same on Windows and on
// Linux but for the file access and error texts of brand_platform.h.

#include <optional>
#include <vector>

#include "brand/brand_request.h"

// Writes the branded copy that `request` asks for. Reads SOURCE, the icon
// file or program once each, by the path as given; checks them and TARGET
// (it must not be one of them, nor read-only, nor anything but a Windows
// program when it exists); builds the copy in memory, reads it back to check
// it holds the resources asked for; writes it to a new temporary file beside
// TARGET, flushed to the disk, reads that back and compares it, and only then
// moves it over TARGET. nullopt when TARGET is in place; otherwise the
// failure, with TARGET as it was and no temporary file left. Never modifies
// SOURCE or the icon's file.
std::optional<BrandFailure> WriteBrandedCopy(const BrandRequest& request);

// What a run of the tool prints and returns.
struct BrandToolRun {
  int status = 0;
  WideText output;  // for the standard output, lines ending in '\n'
  WideText errors;  // for the standard error, lines ending in '\n'
};

// Runs the tool on `arguments`, the command line's words after its name:
// the help (status 0), one line naming what was written (status 0), or one
// line naming the failure (status 1).
BrandToolRun RunBrandTool(const std::vector<WideText>& arguments);
