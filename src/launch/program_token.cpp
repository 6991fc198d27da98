#include "launch/program_token.h"

#include "text/text.h"

namespace {

constexpr std::u16string_view kExe = u".exe";
constexpr std::u16string_view kSeparators = u"\\/";
constexpr std::u16string_view kBlanks = u" \t";

bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

// The end of the first ".exe" that one of `followers`, or the end of `text`,
// follows.
std::optional<std::size_t> EndOfExeFollowedBy(std::u16string_view text,
                                              std::u16string_view followers) {
  for (std::optional<std::size_t> exe = FindFirstExe(text); exe;
       exe = FindFirstExe(text, *exe + 1)) {
    const std::size_t end = *exe + kExe.size();
    if (end == text.size() || followers.find(text[end]) != std::u16string_view::npos) return end;
  }
  return std::nullopt;
}

}  // namespace

ProgramToken SplitProgramToken(std::u16string_view commandLine) {
  ProgramToken token;
  std::size_t start = 0;
  std::size_t end = 0;
  if (!commandLine.empty() && commandLine.front() == u'"') {
    token.quoted = true;
    start = 1;
    end = commandLine.find(u'"', start);
  } else {
    end = commandLine.find_first_of(kBlanks);
  }
  if (end == std::u16string_view::npos) end = commandLine.size();
  token.program = commandLine.substr(start, end - start);
  std::size_t rest = end;
  if (token.quoted && rest < commandLine.size()) ++rest;
  if (rest < commandLine.size() && IsBlank(commandLine[rest])) ++rest;
  token.rest = commandLine.substr(rest);
  return token;
}

std::optional<std::u16string_view> ExePathNamedIn(std::u16string_view commandLine) {
  const ProgramToken token = SplitProgramToken(commandLine);
  if (token.quoted) {
    if (!EndsWithExe(token.program)) return std::nullopt;
    return token.program;
  }
  const std::optional<std::size_t> end = EndOfExeFollowedBy(commandLine, u" \t\"");
  if (!end) return std::nullopt;
  return commandLine.substr(0, *end);
}

bool IsBackslashPath(std::u16string_view path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator != std::u16string_view::npos && path[separator] == u'\\';
}

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator == std::u16string_view::npos ? path : path.substr(separator + 1);
}

bool NamesFile(std::u16string_view program, std::u16string_view fileName) {
  const std::u16string_view name = FileNameOf(program);
  if (EndsWithExe(name)) return EqualFoldingAsciiCase(name, fileName);
  return fileName.size() == name.size() + kExe.size() &&
         EqualFoldingAsciiCase(fileName.substr(0, name.size()), name) &&
         EqualFoldingAsciiCase(fileName.substr(name.size()), kExe);
}

std::optional<std::u16string_view> TailAfterUnquotedPath(std::u16string_view commandLine,
                                                         std::u16string_view launcherFileName) {
  const ProgramToken token = SplitProgramToken(commandLine);
  if (token.quoted || FindFirstExe(token.program) || NamesFile(token.program, launcherFileName))
    return std::nullopt;
  const std::optional<std::size_t> end = EndOfExeFollowedBy(commandLine, kBlanks);
  if (!end || !EqualFoldingAsciiCase(FileNameOf(commandLine.substr(0, *end)), launcherFileName))
    return std::nullopt;
  const std::size_t rest = commandLine.find_first_not_of(kBlanks, *end);
  return commandLine.substr(rest == std::u16string_view::npos ? commandLine.size() : rest);
}

std::optional<ShellCommand> ShellCommandOf(std::u16string_view commandLine) {
  const ProgramToken token = SplitProgramToken(commandLine);
  if (token.program.empty()) return std::nullopt;
  if (!token.quoted) {
    const std::optional<std::size_t> exe = FindFirstExe(commandLine);
    if (exe && commandLine.find_first_of(kBlanks) < *exe) return std::nullopt;
  }
  return ShellCommand{TextOf(token.program), TextOf(token.rest)};
}
