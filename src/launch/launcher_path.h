#pragma once

// How Windows reads the launcher's own path: the rules by which the launch
// sequence turns the path its command line gave into the one the file system
// has. Plain text rules; the file system itself is asked through platform.h.

#include <optional>
#include <string_view>

#include "launch/launch_types.h"

// Whether `path` names its file without regard to any current directory: a
// drive, a colon and a separator ("C:\", "C:/"), or two separators (a UNC or
// "\\?\" path). "bin\x", "\x" and "C:x" are relative.
bool IsAbsolutePath(std::u16string_view path);

// Whether `fileName` has the form of a short name that Windows made for a
// longer one: one to eight code units, then optionally a dot and one to three
// more, without spaces or further dots, and with the "~" of its numeric tail
// ("VIEWER~1.EXE", Wine's "VIEW~1JR.EXE"). A name of that form without a "~"
// ("viewer.exe") is its file's own long name.
bool HasShortNameForm(std::u16string_view fileName);

// `path` without its "\\?\" prefix, and "\\?\UNC\server\share\..." as
// "\\server\share\..."; nothing when it has no such prefix.
std::optional<WideText> WithoutLongPathPrefix(std::u16string_view path);

// Whether `directory` is the root of a network share ("\\server\share", also
// as "\\?\UNC\server\share") or of a volume ("\\?\Volume{...}"), where
// ".." stays at the root. A drive's root is none of these.
bool IsShareOrVolumeRoot(std::u16string_view directory);
