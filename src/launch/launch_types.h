#pragma once

#include <variant>

#include "text/wide_text.h"

// The launcher's exit code.
enum class LaunchStatus : int {
  kApplicationStarted = 0,
  kErrorShown = 1,
  // The user declined the elevation prompt: a failure, though no box is shown.
  kElevationDeclined = 1,
};

// How far the launcher narrowed its own DLL search at start-up.
enum class DllSearch {
  // System32 only (SetDefaultDllDirectories: Windows 8 and later; Vista SP2,
  // 7, Server 2008 and 2008 R2 with update KB2533623).
  kSystem32Only,
  // The current directory taken out of the search (SetDllDirectoryW(L"")),
  // where SetDefaultDllDirectories does not exist. Processes the launcher
  // creates inherit that DLL directory.
  kNoCurrentDirectory,
};

// The ways a run can fail; each has its own message.
enum class LaunchFailure {
  kNoExeInCommandLine,
  kConfigNotFound,
  kConfigEmpty,
  kApplicationNotFound,
  kApplicationStartFailed,
};

// The result of a step: its value, or the failure that ends the run.
template <typename T>
using Outcome = std::variant<T, LaunchFailure>;
