#pragma once

#include "launch/launch_types.h"

// What the launcher starts, and where.
struct ExpandedCommand {
  WideText commandLine;
  // The launcher directory, the configuration path up to its last backslash;
  // a bare drive "X:", which Windows would read as that drive's current
  // directory, as its root "X:\". Empty when the path has no backslash.
  WideText currentDirectory;
};

// Appends the argument tail (after one space, unless it is empty) to the
// template, then replaces every "[.]" with the launcher directory and, in that
// result, every "[..]" with its parent; both as cut from the path, a bare
// drive included, except that the parent of a share's or volume's root
// (IsShareOrVolumeRoot) is that root. Without a backslash in the configuration path, the
// placeholders stay as they are. Never fails.
ExpandedCommand ExpandCommandLine(WideText commandTemplate, WideText argumentTail,
                                  WideText configPath);

// Replaces every occurrence of `pattern` in one left-to-right pass that goes on
// after each inserted replacement, so it ends even when the replacement holds
// the pattern, in time linear in the text. An empty pattern changes nothing.
WideText ReplaceAll(WideText text, WideText pattern, WideText replacement);

// The part of `path` before its last backslash; empty when it has none.
WideText ParentDirectory(WideText path);
