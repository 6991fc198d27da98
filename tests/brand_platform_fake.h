#pragma once

// Control over the test definition of launcher-brand's platform: files and
// folders kept in memory, paths compared as written, with '/' as the only
// separator, a clock that moves only when the tool waits, a record of the
// calls that change files, and failures on command. Its errors are errno's
// numbers but for replacing, moving and removing, whose errors are Windows'
// and read as Windows' (WindowsReplaceFailure); it words them as Windows does
// ("system error #N"), and reads 225 and 226 from any step as Windows' virus
// scanner's.

#include <optional>
#include <vector>

#include "brand/brand_platform.h"

inline constexpr SystemError kFakeMissing = 2;    // ENOENT
inline constexpr SystemError kFakeExists = 17;    // EEXIST
inline constexpr SystemError kFakeNoSpace = 28;   // ENOSPC

// Forgets every file, failure and call; only the folder "." exists.
void ResetFakeFiles();

void PutFakeFolder(const WideText& path);
void PutFakeFile(const WideText& path, Bytes bytes, bool readOnly = false);
// `alias` names the file `path` names, as a hard link does.
void LinkFakeFile(const WideText& path, const WideText& alias);
// `link` is a symbolic link to `path`, which need not exist.
void PutFakeSymbolicLink(const WideText& link, const WideText& path);

std::optional<Bytes> FakeFileBytes(const WideText& path);
std::vector<WideText> FakeFilePaths();

enum class FakeStep { kRead, kCreate, kWrite, kReplace, kMove, kRemove };

// Makes `times` calls of `step` in a row, from the `nth` from now on (counting
// from 1), fail with `error`.
void FailFakeStep(FakeStep step, int nth, SystemError error, int times = 1);

// Makes a later replacement that fails with 1177 leave the file replaced
// under its own name, as the older wording of ReplaceFileW's documentation
// allows, rather than under the backup's.
void KeepFakeNamesAfter1177();

// Makes every later write store one byte less than it was given and report
// success, as a disk that loses data silently does.
void LoseFakeWrites();

// The calls that replaced, moved or removed a file, or waited, in their
// order: "replace TARGET REPLACEMENT BACKUP", "move FROM TO", "remove PATH",
// "wait MILLISECONDS".
std::vector<WideText> FakeCalls();
