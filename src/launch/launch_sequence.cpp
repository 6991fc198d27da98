#include "launch/launch_sequence.h"

#include <optional>
#include <variant>

#include "launch/config_file.h"
#include "launch/expansion.h"
#include "launch/platform.h"
#include "launch/program_token.h"
#include "launch/text.h"

namespace {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorElevationRequired = 740;
constexpr std::uint32_t kErrorCancelled = 1223;
constexpr std::uint16_t kShowNormal = 1;

LaunchStatus ReportFailure(LaunchFailure failure, const WideText& subject,
                           std::uint32_t systemError = 0) {
  ShowLaunchError(LaunchErrorMessage(failure, subject, systemError));
  return LaunchStatus::kErrorShown;
}

LaunchFailure StartFailureFor(std::uint32_t systemError) {
  return systemError == kErrorFileNotFound ? LaunchFailure::kApplicationNotFound
                                           : LaunchFailure::kApplicationStartFailed;
}

// A DLL directory set with SetDllDirectoryW is inherited by the processes the
// launcher creates, and the empty one would keep the application from finding
// DLLs in its own current directory. So the default holds only while
// CreateProcessW runs, and the narrowed search is back before anything else can
// load a DLL into the launcher.
std::optional<std::uint32_t> StartWithOwnDllSearch(const ExpandedCommand& command,
                                                   std::optional<std::uint16_t> showState,
                                                   DllSearch dllSearch) {
  const bool inherited = dllSearch == DllSearch::kNoCurrentDirectory;
  if (inherited) RestoreDefaultDllDirectory();
  std::optional<std::uint32_t> error =
      StartApplication(command.commandLine, command.launcherDirectory, showState);
  if (inherited) ExcludeCurrentDirectoryFromDllSearch();
  return error;
}

// An application whose manifest requires administrator rights cannot be
// created by CreateProcessW (740); the shell asks for the elevation instead.
std::optional<std::uint32_t> StartElevated(const ExpandedCommand& command,
                                           std::optional<std::uint16_t> showState,
                                           std::uint32_t createError) {
  std::optional<ShellCommand> shell = ShellCommandOf(command.commandLine);
  if (!shell) return createError;
  return StartThroughShell(std::move(shell->file), std::move(shell->parameters),
                           command.launcherDirectory, showState.value_or(kShowNormal));
}

}  // namespace

WideText LauncherPathSource(const WideText& rawCommandLine) {
  const ProgramToken token = SplitProgramToken(rawCommandLine);
  if (IsBackslashPathToExe(token.program)) return rawCommandLine;
  std::optional<WideText> modulePath = LauncherModulePath();
  if (modulePath && NamesFile(token.program, FileNameOf(*modulePath)))
    return *std::move(modulePath);
  return rawCommandLine;
}

LaunchStatus RunLauncher(WideText argumentTail, DllSearch dllSearch) {
  const WideText rawCommandLine = RawCommandLine();

  Outcome<WideText> configPath = ResolveConfigPath(LauncherPathSource(rawCommandLine));
  if (const auto* failure = std::get_if<LaunchFailure>(&configPath))
    return ReportFailure(*failure, rawCommandLine);
  const WideText& path = std::get<WideText>(configPath);

  Outcome<WideText> commandTemplate = ReadCommandTemplate(path);
  if (const auto* failure = std::get_if<LaunchFailure>(&commandTemplate))
    return ReportFailure(*failure, path);

  ExpandedCommand command = ExpandCommandLine(
      std::get<WideText>(std::move(commandTemplate)), std::move(argumentTail), path);
  const std::optional<std::uint16_t> showState = RequestedShowState();
  std::optional<std::uint32_t> error = StartWithOwnDllSearch(command, showState, dllSearch);
  if (error == kErrorElevationRequired) {
    error = StartElevated(command, showState, *error);
    // The user chose not to start it: a failure, but nothing to tell them.
    if (error == kErrorCancelled) return LaunchStatus::kElevationDeclined;
  }
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
