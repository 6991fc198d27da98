#include "launch/program_token.h"

#include "launch/text.h"

namespace {

constexpr std::u16string_view kExe = u".exe";
constexpr std::u16string_view kSeparators = u"\\/";
constexpr std::u16string_view kBlanks = u" \t";

bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

// Assigned rather than constructed from the view: the construction checks for
// a null pointer, which would link the runtime's exceptions into the launcher.
WideText TextOf(std::u16string_view view) {
  WideText text;
  text.assign(view.data(), view.size());
  return text;
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

bool IsBackslashPathToExe(std::u16string_view program) {
  const std::optional<std::size_t> exe = FindFirstExe(program);
  if (!exe) return false;
  const std::size_t separator = program.find_last_of(kSeparators, *exe);
  return separator != std::u16string_view::npos && program[separator] == u'\\';
}

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator == std::u16string_view::npos ? path : path.substr(separator + 1);
}

bool NamesFile(std::u16string_view program, std::u16string_view fileName) {
  const std::u16string_view name = FileNameOf(program);
  const std::size_t stem = name.size() >= kExe.size() ? name.size() - kExe.size() : 0;
  if (EqualFoldingAsciiCase(name.substr(stem), kExe)) return EqualFoldingAsciiCase(name, fileName);
  return fileName.size() == name.size() + kExe.size() &&
         EqualFoldingAsciiCase(fileName.substr(0, name.size()), name) &&
         EqualFoldingAsciiCase(fileName.substr(name.size()), kExe);
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
