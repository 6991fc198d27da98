#include "launch/launch_sequence.h"

#include <optional>
#include <variant>

#include "launch/config_file.h"
#include "launch/expansion.h"
#include "launch/platform.h"
#include "launch/text.h"

namespace {

constexpr std::uint32_t kErrorFileNotFound = 2;

LaunchStatus ReportFailure(LaunchFailure failure, const WideText& subject,
                           std::uint32_t systemError = 0) {
  ShowLaunchError(LaunchErrorMessage(failure, subject, systemError));
  return LaunchStatus::kErrorShown;
}

LaunchFailure StartFailureFor(std::uint32_t systemError) {
  return systemError == kErrorFileNotFound ? LaunchFailure::kApplicationNotFound
                                           : LaunchFailure::kApplicationStartFailed;
}

}  // namespace

LaunchStatus RunLauncher(WideText argumentTail) {
  const WideText rawCommandLine = RawCommandLine();

  Outcome<WideText> configPath = ResolveConfigPath(rawCommandLine);
  if (const auto* failure = std::get_if<LaunchFailure>(&configPath))
    return ReportFailure(*failure, rawCommandLine);
  const WideText& path = std::get<WideText>(configPath);

  Outcome<WideText> commandTemplate = ReadCommandTemplate(path);
  if (const auto* failure = std::get_if<LaunchFailure>(&commandTemplate))
    return ReportFailure(*failure, path);

  ExpandedCommand command = ExpandCommandLine(
      std::get<WideText>(std::move(commandTemplate)), std::move(argumentTail), path);
  const std::optional<std::uint32_t> error =
      StartApplication(command.commandLine, std::move(command.launcherDirectory));
  if (!error) return LaunchStatus::kApplicationStarted;
  return ReportFailure(StartFailureFor(*error), command.commandLine, *error);
}

WideText LaunchErrorMessage(LaunchFailure failure, const WideText& subject,
                            std::uint32_t systemError) {
  switch (failure) {
    case LaunchFailure::kNoExeInCommandLine:
      return u"Cannot find an EXE in the command line " + subject;
    case LaunchFailure::kConfigNotFound:
      return u"Unable to find the configuration file '" + subject + u"'.";
    case LaunchFailure::kConfigEmpty:
      return u"The configuration file '" + subject + u"' is empty.";
    case LaunchFailure::kApplicationNotFound:
      return u"Unable to find the application '" + subject + u"'";
    case LaunchFailure::kApplicationStartFailed:
      return u"System error #" + DecimalText(systemError) +
             u" while starting the application '" + subject + u"'";
  }
  return WideText();
}
