#pragma once

// `launcher-brand --show FILE`: what Windows shows of a program, read by the
// branding tool's own readers, so that a maker can check a copy on any system.

#include <string_view>
#include <variant>

#include "brand/brand_copy.h"
#include "brand/brand_request.h"

// The details of the Windows program `file`, one "Key: value" line each,
// every line ending in '\n', in this order:
// - each string of the first string table that holds a ProductName (keys
//   compared without regard to ASCII case), in the table's order, as
//   "<key>: <text>", the text up to its first NUL; or, when the program has
//   no version resource or one that is malformed, "Version information: none"
//   or "Version information: malformed" instead of the strings and the fixed
//   versions;
// - "Fixed file version: a.b.c.d" and "Fixed product version: a.b.c.d";
// - "Icon group <id or name>: " and its images as "<w>x<h> <bits per pixel>"
//   separated by ", ", as the group's entries give them (a width or height
//   of 0 meaning 256), for each icon group in the resource directory's order
//   ("malformed" for a group that does not read);
// - "Signature: yes" when a certificate table is present, else "no";
// - "Checksum: right" when the header's checksum is the file's, else "wrong".
// Control characters (U+0000 to U+001F, U+007F to U+009F) and unpaired
// surrogates in keys, texts and names are written as \uXXXX, so that each
// line stays one line. The version resource is the first one the resource
// directory lists. kProgramNotProgram when `file` is not a PE image, and
// kProgramResourcesMalformed when its resource tree does not read. Never
// reads outside `file`.
std::variant<WideText, BrandProblem> ProgramDetails(std::string_view file);

// The run of `launcher-brand --show path`: the details on the standard output
// and status 0, or one line naming the failure (the program's messages of
// FailureMessage) and status 1. Reads the file once and writes nothing.
BrandToolRun ShowToolRun(const WideText& path);
