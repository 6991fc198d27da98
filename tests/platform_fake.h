#pragma once

// Control over the test definition of the platform: what the run sees as its
// raw command line, how process creation answers, and what was started and
// shown.

#include <cstdint>
#include <optional>
#include <vector>

#include "launch/launch_types.h"

struct RecordedStart {
  WideText commandLine;
  WideText directory;
};

// Forgets every record and sets the raw command line; starts succeed again.
void ResetFakePlatform(WideText rawCommandLine);

// Makes every later start fail with `systemError`.
void FailStartsWith(std::uint32_t systemError);

const std::vector<RecordedStart>& RecordedStarts();
const std::vector<WideText>& RecordedMessages();
