#pragma once

// The program named at the start of a command line: where the launcher's own
// name ends in its command line, and what the shell is given to start the
// application. Windows ends an unquoted program name at the first blank where
// the text before it names an existing program; the file system is asked
// through platform.h.

#include <cstddef>
#include <optional>
#include <string_view>

#include "launch/launch_types.h"

// A command line's first token as the runtime reads a program's name, and what
// follows it; both are views into the command line.
struct ProgramToken {
  // Without its quotes: after a leading quote, the text up to the next quote
  // (or the end); otherwise the text up to the first space or tab.
  std::u16string_view program;
  bool quoted = false;
  // The text after the token and after one space or tab that follows it.
  std::u16string_view rest;
};

ProgramToken SplitProgramToken(std::u16string_view commandLine);

// Where the launcher's name ends in the unquoted `commandLine`, as Windows
// ended it: the first blank (space or tab), or else the end of the line, where
// the text before it, as ProgramPathOf reads it and made absolute by
// FullPathName, is `modulePath` (ASCII letters in any case). FullPathName is
// asked only where that text's file name is the module's and its last folder
// names that GetFullPathNameW keeps as written are the module's too, so that a
// line of 32,767 code units costs time linear in its length. Nothing when no
// such text names the module.
std::optional<std::size_t> EndOfOwnName(std::u16string_view commandLine,
                                        std::u16string_view modulePath);

// `path` as Windows reads a program's path: with ".exe" added when its file
// name, after its last "\" or "/", holds no dot; otherwise without the dots and
// spaces that end it.
WideText ProgramPathOf(std::u16string_view path);

// The text after position `end` of `commandLine` and the spaces and tabs that
// follow it; empty when nothing follows.
std::u16string_view ArgumentsAfter(std::u16string_view commandLine, std::size_t end);

// The path that ends in ".exe" (ASCII letters in any case) at the start of a
// command line where Windows did not say where the launcher's name ends: a
// quoted token whose file name ends in ".exe" followed only by dots and
// spaces, without them; in an unquoted line, the text up to the first ".exe"
// followed by a space, tab, quote or the end, so that ".exe" inside a folder
// name does not cut it. Nothing when there is no such ".exe". A view into
// `commandLine`.
std::optional<std::u16string_view> ExePathNamedIn(std::u16string_view commandLine);

// Whether the last separator ("\" or "/") in `path` is a backslash.
bool IsBackslashPath(std::u16string_view path);

// The last component of `path`, after its last "\" or "/".
std::u16string_view FileNameOf(std::u16string_view path);

// Whether `program` stands for the file `fileName`, as when it was found
// through PATH: its last component, without the dots and spaces that end it,
// is `fileName`, or `fileName` less a final ".exe" (ASCII letters in any case).
bool NamesFile(std::u16string_view program, std::u16string_view fileName);

// What ShellExecuteExW is given to start a command line.
struct ShellCommand {
  WideText file;
  WideText parameters;
};

// `commandLine` as a file and its parameters, split where CreateProcessW
// found its program: a quoted token without its quotes; unquoted, the file
// FindProgramFile finds for the first text before a blank (or the end of the
// line) that names one, or else the text up to the first blank. The parameters
// are the rest after one space or tab. Nothing when the program token is empty.
std::optional<ShellCommand> ShellCommandOf(std::u16string_view commandLine);
