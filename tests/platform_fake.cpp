#include "platform_fake.h"

#include <utility>

#include "launch/platform.h"

namespace {

struct FakePlatform {
  WideText rawCommandLine;
  std::optional<WideText> modulePath;
  StartupRequest ownStartup;
  std::vector<std::pair<WideText, std::optional<WideText>>> fullPaths;
  std::vector<std::pair<WideText, std::optional<WideText>>> longPaths;
  std::vector<std::pair<WideText, std::optional<WideText>>> programFiles;
  std::optional<std::uint32_t> startError;
  std::optional<std::uint32_t> shellStartError;
  std::vector<RecordedStart> starts;
  std::vector<RecordedShellStart> shellStarts;
  std::vector<WideText> messages;
  std::vector<std::string> calls;
};

FakePlatform& Fake() {
  static FakePlatform fake;
  return fake;
}

std::optional<WideText> Scripted(
    const std::vector<std::pair<WideText, std::optional<WideText>>>& script,
    const WideText& path) {
  for (const auto& [from, to] : script) {
    if (from == path) return to;
  }
  return path;
}

}  // namespace

void ResetFakePlatform(WideText rawCommandLine) {
  Fake() = FakePlatform{};
  Fake().rawCommandLine = std::move(rawCommandLine);
}

void SetModulePath(std::optional<WideText> modulePath) {
  Fake().modulePath = std::move(modulePath);
}

void SetOwnStartup(StartupRequest startup) { Fake().ownStartup = std::move(startup); }

void SetFullPathName(WideText path, std::optional<WideText> fullPath) {
  Fake().fullPaths.emplace_back(std::move(path), std::move(fullPath));
}

void SetLongPathName(WideText path, std::optional<WideText> longPath) {
  Fake().longPaths.emplace_back(std::move(path), std::move(longPath));
}

void SetProgramFile(WideText name, WideText file) {
  Fake().programFiles.emplace_back(std::move(name), std::move(file));
}

void FailStartsWith(std::uint32_t systemError) { Fake().startError = systemError; }

void FailShellStartsWith(std::uint32_t systemError) { Fake().shellStartError = systemError; }

const std::vector<RecordedStart>& RecordedStarts() { return Fake().starts; }

const std::vector<RecordedShellStart>& RecordedShellStarts() { return Fake().shellStarts; }

const std::vector<WideText>& RecordedMessages() { return Fake().messages; }

const std::vector<std::string>& RecordedCalls() { return Fake().calls; }

WideText RawCommandLine() { return Fake().rawCommandLine; }

std::optional<WideText> LauncherModulePath() {
  Fake().calls.push_back("LauncherModulePath");
  return Fake().modulePath;
}

StartupRequest OwnStartup() { return Fake().ownStartup; }

std::optional<WideText> FullPathName(const WideText& path) {
  return Scripted(Fake().fullPaths, path);
}

std::optional<WideText> LongPathName(const WideText& path) {
  return Scripted(Fake().longPaths, path);
}

std::optional<WideText> FindProgramFile(const WideText& name) {
  for (const auto& [scripted, file] : Fake().programFiles) {
    if (scripted == name) return file;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> StartApplication(WideText commandLine, WideText directory,
                                              StartupRequest startup) {
  Fake().calls.push_back("StartApplication");
  Fake().starts.push_back({std::move(commandLine), std::move(directory), std::move(startup)});
  return Fake().startError;
}

std::optional<std::uint32_t> StartThroughShell(WideText file, WideText parameters,
                                               WideText directory, std::uint16_t showState,
                                               std::optional<std::uint32_t> hotKey) {
  Fake().calls.push_back("StartThroughShell");
  Fake().shellStarts.push_back(
      {std::move(file), std::move(parameters), std::move(directory), showState, hotKey});
  return Fake().shellStartError;
}

void RestoreDefaultDllDirectory() { Fake().calls.push_back("RestoreDefaultDllDirectory"); }

void ExcludeCurrentDirectoryFromDllSearch() {
  Fake().calls.push_back("ExcludeCurrentDirectoryFromDllSearch");
}

void ShowLaunchError(WideText message) { Fake().messages.push_back(std::move(message)); }
