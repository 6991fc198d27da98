#pragma once

// The program named at the start of a command line: how the launcher finds
// itself in its own command line, and what the shell is given to start the
// application.

#include <optional>
#include <string_view>

#include "launch/launch_types.h"

// A command line's first token as Windows reads a program's name, and what
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

// The launcher's path as `commandLine` names it, up to the end of the ".exe"
// (ASCII letters in any case) that ends its file name, so that ".exe" inside a
// folder or file name does not cut it: in a quoted token, the ".exe" right
// before the closing quote (or the end of an unclosed one); in an unquoted
// line, the first ".exe" followed by a space, tab, quote or the end, so that an
// unquoted path with spaces is taken whole. Nothing when there is no such
// ".exe". A view into `commandLine`.
std::optional<std::u16string_view> ExePathNamedIn(std::u16string_view commandLine);

// Whether the last separator ("\" or "/") in `path` is a backslash: a path
// that the command line can be trusted with.
bool IsBackslashPath(std::u16string_view path);

// The last component of `path`, after its last "\" or "/".
std::u16string_view FileNameOf(std::u16string_view path);

// Whether `program` stands for the file `fileName`: its last component, with
// ".exe" appended unless it already ends in ".exe", as Windows completes a
// program's name, equals `fileName` with ASCII letters folded.
bool NamesFile(std::u16string_view program, std::u16string_view fileName);

// The launcher's arguments when an unquoted path with spaces names it, as
// Task Scheduler and Run keys write "C:\Prod Dir\bin\viewer.exe one": the
// runtime's tail would start at "Dir". The text after the line's first ".exe"
// followed by a space, tab or the end, and after the blanks that follow; empty
// when nothing follows. Only when the unquoted token holds no ".exe" and does
// not name `launcherFileName` (NamesFile), and the line up to that ".exe" ends
// in that file name (ASCII letters in any case); nothing otherwise.
std::optional<std::u16string_view> TailAfterUnquotedPath(std::u16string_view commandLine,
                                                         std::u16string_view launcherFileName);

// What ShellExecuteExW is given to start a command line.
struct ShellCommand {
  WideText file;
  WideText parameters;
};

// `commandLine` as a file and its parameters: the program token without its
// quotes, and the rest after one space or tab. Nothing when the token is empty,
// or when it is unquoted and a space or tab comes before the line's first
// ".exe": CreateProcessW then may have run a longer path, one that holds a
// space, and the token would name another file.
std::optional<ShellCommand> ShellCommandOf(std::u16string_view commandLine);
