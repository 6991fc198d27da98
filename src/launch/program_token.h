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

// Whether `program` names its file by a path that the command line can be
// trusted with: it holds ".exe" (ASCII letters in any case) and the last
// separator ("\" or "/") before its first ".exe" is a backslash.
bool IsBackslashPathToExe(std::u16string_view program);

// The last component of `path`, after its last "\" or "/".
std::u16string_view FileNameOf(std::u16string_view path);

// Whether `program` stands for the file `fileName`: its last component, with
// ".exe" appended unless it already ends in ".exe", as Windows completes a
// program's name, equals `fileName` with ASCII letters folded.
bool NamesFile(std::u16string_view program, std::u16string_view fileName);

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
