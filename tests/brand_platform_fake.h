#pragma once

// Control over the test definition of launcher-brand's platform: files and
// folders kept in memory, paths compared as written, with '/' as the only
// separator, and failures on command. Its errors are errno's numbers, and it
// words them as Windows does ("system error #N").

#include <optional>
#include <vector>

#include "brand/brand_platform.h"

inline constexpr SystemError kFakeMissing = 2;    // ENOENT
inline constexpr SystemError kFakeExists = 17;    // EEXIST
inline constexpr SystemError kFakeNoSpace = 28;   // ENOSPC

// Forgets every file and failure; only the folder "." exists.
void ResetFakeFiles();

void PutFakeFolder(const WideText& path);
void PutFakeFile(const WideText& path, Bytes bytes, bool readOnly = false);
// `alias` names the file `path` names, as a hard link does.
void LinkFakeFile(const WideText& path, const WideText& alias);

std::optional<Bytes> FakeFileBytes(const WideText& path);
std::vector<WideText> FakeFilePaths();

enum class FakeStep { kRead, kCreate, kWrite, kReplace };

// Makes the `nth` call (from 1) of `step` from now on fail with `error`.
void FailFakeStep(FakeStep step, int nth, SystemError error);

// Makes every later write store one byte less than it was given and report
// success, as a disk that loses data silently does.
void LoseFakeWrites();
