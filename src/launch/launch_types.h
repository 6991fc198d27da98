#pragma once

#include <string>
#include <variant>

// Text as the launcher handles it: UTF-16 code units, counted, so it may hold
// NUL code units. Wherever it reaches the platform as a terminated string, the
// platform sees it only up to the first NUL.
using WideText = std::u16string;

// The launcher's exit code.
enum class LaunchStatus : int {
  kApplicationStarted = 0,
  kErrorShown = 1,
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
