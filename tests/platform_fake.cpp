#include "platform_fake.h"

#include "launch/platform.h"

namespace {

struct FakePlatform {
  WideText rawCommandLine;
  std::optional<std::uint32_t> startError;
  std::vector<RecordedStart> starts;
  std::vector<WideText> messages;
};

FakePlatform& Fake() {
  static FakePlatform fake;
  return fake;
}

}  // namespace

void ResetFakePlatform(WideText rawCommandLine) {
  Fake() = FakePlatform{std::move(rawCommandLine), std::nullopt, {}, {}};
}

void FailStartsWith(std::uint32_t systemError) { Fake().startError = systemError; }

const std::vector<RecordedStart>& RecordedStarts() { return Fake().starts; }

const std::vector<WideText>& RecordedMessages() { return Fake().messages; }

WideText RawCommandLine() { return Fake().rawCommandLine; }

std::optional<std::uint32_t> StartApplication(WideText commandLine, WideText directory) {
  Fake().starts.push_back({std::move(commandLine), std::move(directory)});
  return Fake().startError;
}

void ShowLaunchError(WideText message) { Fake().messages.push_back(std::move(message)); }
