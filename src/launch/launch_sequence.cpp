#include "launch/launch_sequence.h"

#include <optional>
#include <variant>

#include "launch/config_file.h"
#include "launch/expansion.h"
#include "launch/launcher_path.h"
#include "launch/platform.h"
#include "launch/program_token.h"
#include "text/text.h"

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
                                                   const StartupRequest& startup,
                                                   DllSearch dllSearch) {
  const bool inherited = dllSearch == DllSearch::kNoCurrentDirectory;
  if (inherited) RestoreDefaultDllDirectory();
  std::optional<std::uint32_t> error =
      StartApplication(command.commandLine, command.currentDirectory, startup);
  if (inherited) ExcludeCurrentDirectoryFromDllSearch();
  return error;
}

// An application whose manifest requires administrator rights cannot be
// created by CreateProcessW (740); the shell asks for the elevation instead.
// The shell takes a show state and a hot key and nothing else of the
// launcher's start.
std::optional<std::uint32_t> StartElevated(const ExpandedCommand& command,
                                           const StartupRequest& startup,
                                           std::uint32_t createError) {
  std::optional<ShellCommand> shell = ShellCommandOf(command.commandLine);
  if (!shell) return createError;
  const bool showState = (startup.flags & kStartUseShowWindow) != 0;
  std::optional<std::uint32_t> hotKey;
  if (startup.flags & kStartUseHotKey) hotKey = static_cast<std::uint32_t>(startup.standardInput);
  return StartThroughShell(std::move(shell->file), std::move(shell->parameters),
                           command.currentDirectory, showState ? startup.showWindow : kShowNormal,
                           hotKey);
}

// The shortcut's identity: its path, or an AppUserModelID, which alone may
// carry the request not to be pinned; none without a title to carry it.
StartupRequest ShortcutIdentity(const StartupRequest& own) {
  StartupRequest identity;
  if (own.title.empty()) return identity;
  if (own.flags & kStartTitleIsLinkName) {
    identity.flags = kStartTitleIsLinkName;
  } else if (own.flags & kStartTitleIsAppId) {
    identity.flags = own.flags & (kStartTitleIsAppId | kStartPreventPinning);
  } else {
    return identity;
  }
  identity.title = own.title;
  return identity;
}

// A quote belongs to no file's path: such a text is left as the command line
// wrote it, and so is its message. A "/" would leave "[.]" without the
// backslash it is cut at.
WideText AbsolutePath(WideText path) {
  if (path.find(u'"') != WideText::npos) return path;
  if (IsAbsolutePath(path) && path.find(u'/') == WideText::npos) return path;
  std::optional<WideText> full = FullPathName(path);
  return full ? *std::move(full) : path;
}

// Only the file name: Wine's GetLongPathNameW re-cases every folder too, and a
// short folder such as C:\PROGRA~1 keeps templates free of spaces.
WideText WithLongFileName(WideText path) {
  const std::u16string_view fileName = FileNameOf(path);
  if (!HasShortNameForm(fileName)) return path;
  const std::optional<WideText> longPath = LongPathName(path);
  if (!longPath) return path;
  const std::u16string_view longName = FileNameOf(*longPath);
  if (EqualFoldingAsciiCase(longName, fileName) || !EndsWithExe(longName)) return path;
  path.resize(path.size() - fileName.size());
  path.append(longName.data(), longName.size());
  return path;
}

// The fixed text of a failure's message around its subject; the system error
// of kApplicationStartFailed comes before it. Appended part by part: the
// launcher's code stays small.
struct MessageParts {
  std::u16string_view opening;
  std::u16string_view closing;
};

MessageParts MessagePartsOf(LaunchFailure failure) {
  switch (failure) {
    case LaunchFailure::kNoExeInCommandLine:
      return {u"Cannot find an EXE in the command line ", u""};
    case LaunchFailure::kConfigNotFound:
      return {u"Unable to find the configuration file '", u"'."};
    case LaunchFailure::kConfigEmpty:
      return {u"The configuration file '", u"' is empty."};
    case LaunchFailure::kApplicationNotFound:
      return {u"Unable to find the application '", u"'"};
    case LaunchFailure::kApplicationStartFailed:
      return {u" while starting the application '", u"'"};
  }
  return {};
}

}  // namespace

Outcome<OwnStart> FindOwnStart(const WideText& rawCommandLine, WideText argumentTail) {
  const ProgramToken token = SplitProgramToken(rawCommandLine);
  const std::optional<std::u16string_view> named = ExePathNamedIn(rawCommandLine);
  const bool namedPath =
      named && named->size() <= token.program.size() && IsBackslashPath(*named);
  // A quote ends the name where Windows ended it.
  if (token.quoted && namedPath) return OwnStart{TextOf(*named), std::move(argumentTail)};
  std::optional<WideText> modulePath = LauncherModulePath();
  if (!token.quoted && modulePath) {
    if (const std::optional<std::size_t> end = EndOfOwnName(rawCommandLine, *modulePath)) {
      // The runtime's tail starts after the first blank.
      if (*end > token.program.size()) argumentTail = TextOf(ArgumentsAfter(rawCommandLine, *end));
      return OwnStart{ProgramPathOf(std::u16string_view(rawCommandLine).substr(0, *end)),
                      std::move(argumentTail)};
    }
  }
  // Named otherwise than by its own file's path: by a short name or a "\\?\"
  // path, or found through PATH.
  if (namedPath) return OwnStart{TextOf(*named), std::move(argumentTail)};
  if (modulePath && NamesFile(token.program, FileNameOf(*modulePath)))
    return OwnStart{*std::move(modulePath), std::move(argumentTail)};
  if (!named) return LaunchFailure::kNoExeInCommandLine;
  return OwnStart{TextOf(*named), std::move(argumentTail)};
}

WideText FileSystemPath(WideText path) { return WithLongFileName(AbsolutePath(std::move(path))); }

WideText PlaceholderPath(WideText configPath) {
  std::optional<WideText> plain = WithoutLongPathPrefix(configPath);
  if (!plain || FullPathName(*plain) != plain) return configPath;
  return *std::move(plain);
}

StartupRequest StartupToPassOn(const StartupRequest& own) {
  StartupRequest passed = ShortcutIdentity(own);
  passed.flags |= own.flags & (kStartUseShowWindow | kStartUntrustedSource);
  if (own.flags & kStartUseShowWindow) passed.showWindow = own.showWindow;
  // hStdInput holds the hot key only when it holds no standard handle.
  if ((own.flags & (kStartUseHotKey | kStartUseStdHandles)) == kStartUseHotKey) {
    passed.flags |= kStartUseHotKey;
    passed.standardInput = own.standardInput;
  }
  return passed;
}

LaunchStatus RunLauncher(WideText argumentTail, DllSearch dllSearch) {
  const WideText rawCommandLine = RawCommandLine();

  Outcome<OwnStart> own = FindOwnStart(rawCommandLine, std::move(argumentTail));
  if (const auto* failure = std::get_if<LaunchFailure>(&own))
    return ReportFailure(*failure, rawCommandLine);
  OwnStart& start = std::get<OwnStart>(own);
  const WideText configPath = ConfigPathFor(FileSystemPath(std::move(start.path)));

  Outcome<WideText> commandTemplate = ReadCommandTemplate(configPath);
  if (const auto* failure = std::get_if<LaunchFailure>(&commandTemplate))
    return ReportFailure(*failure, configPath);

  ExpandedCommand command =
      ExpandCommandLine(std::get<WideText>(std::move(commandTemplate)),
                        std::move(start.argumentTail), PlaceholderPath(configPath));
  const StartupRequest startup = StartupToPassOn(OwnStartup());
  std::optional<std::uint32_t> error = StartWithOwnDllSearch(command, startup, dllSearch);
  if (error == kErrorElevationRequired) {
    error = StartElevated(command, startup, *error);
    // The user chose not to start it: a failure, but nothing to tell them.
    if (error == kErrorCancelled) return LaunchStatus::kElevationDeclined;
  }
  if (!error) return LaunchStatus::kApplicationStarted;
  return ReportFailure(StartFailureFor(*error), command.commandLine, *error);
}

WideText LaunchErrorMessage(LaunchFailure failure, const WideText& subject,
                            std::uint32_t systemError) {
  const MessageParts parts = MessagePartsOf(failure);
  WideText message;
  if (failure == LaunchFailure::kApplicationStartFailed)
    message = u"System error #" + DecimalText(systemError);
  const std::u16string_view subjectText = subject;
  for (const std::u16string_view part : {parts.opening, subjectText, parts.closing}) message += part;
  return message;
}
