#include "launch/program_token.h"

#include "launch/platform.h"
#include "text/text.h"

namespace {

constexpr std::u16string_view kExe = u".exe";
constexpr std::u16string_view kSeparators = u"\\/";
constexpr std::u16string_view kBlanks = u" \t";
constexpr std::u16string_view kDotsAndSpaces = u". ";
constexpr std::size_t kNone = std::u16string_view::npos;

bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

bool IsSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

// The end of the first ".exe" that one of `followers`, or the end of `text`,
// follows.
std::optional<std::size_t> EndOfExeFollowedBy(std::u16string_view text,
                                              std::u16string_view followers) {
  for (std::optional<std::size_t> exe = FindFirstExe(text); exe;
       exe = FindFirstExe(text, *exe + 1)) {
    const std::size_t end = *exe + kExe.size();
    if (end == text.size() || followers.find(text[end]) != kNone) return end;
  }
  return std::nullopt;
}

std::u16string_view WithoutTrailingDotsAndSpaces(std::u16string_view text) {
  const std::size_t last = text.find_last_not_of(kDotsAndSpaces);
  return text.substr(0, last == kNone ? 0 : last + 1);
}

// Whether `name` with ".exe" appended is `fileName`, ASCII letters in any case.
bool IsNameWithoutExe(std::u16string_view name, std::u16string_view fileName) {
  return fileName.size() == name.size() + kExe.size() &&
         EqualFoldingAsciiCase(fileName.substr(0, name.size()), name) &&
         EqualFoldingAsciiCase(fileName.substr(name.size()), kExe);
}

// The text after `end` and after one space or tab that follows it.
std::u16string_view RestAfterOneBlank(std::u16string_view commandLine, std::size_t end) {
  if (end < commandLine.size() && IsBlank(commandLine[end])) ++end;
  return commandLine.substr(end);
}

std::size_t ComponentStart(std::u16string_view path, std::size_t end) {
  const std::size_t separator = end == 0 ? kNone : path.find_last_of(kSeparators, end - 1);
  return separator == kNone ? 0 : separator + 1;
}

// Whether GetFullPathNameW keeps `folder`, a folder's name inside a path, as
// it is written: it drops empty names, "." and "..", and the dots and spaces
// that end a name, and a first name "C:x" stands for a folder on drive C.
bool IsKeptAsWritten(std::u16string_view folder, bool first) {
  return !folder.empty() && kDotsAndSpaces.find(folder.back()) == kNone &&
         !(first && folder.find(u':') != kNone);
}

// False when GetFullPathNameW cannot make `path` into `modulePath`: going back
// from the file name, a folder name that it keeps as written differs from the
// module's at the same place, or the module has no folder left there. Looks no
// further back than the first folder name it would change. A line of near
// misses in other folders thus costs each only its own folder names.
bool FoldersMayLeadTo(std::u16string_view path, std::u16string_view modulePath) {
  std::size_t pathEnd = path.find_last_of(kSeparators);
  std::size_t moduleEnd = modulePath.find_last_of(kSeparators);
  while (pathEnd != kNone) {
    const std::size_t pathStart = ComponentStart(path, pathEnd);
    const std::u16string_view folder = path.substr(pathStart, pathEnd - pathStart);
    if (!IsKeptAsWritten(folder, pathStart == 0)) return true;
    if (moduleEnd == kNone) return false;
    const std::size_t moduleStart = ComponentStart(modulePath, moduleEnd);
    if (!EqualFoldingAsciiCase(folder, modulePath.substr(moduleStart, moduleEnd - moduleStart)))
      return false;
    pathEnd = pathStart == 0 ? kNone : pathStart - 1;
    moduleEnd = moduleStart == 0 ? kNone : moduleStart - 1;
  }
  return true;
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
  if (end == kNone) end = commandLine.size();
  token.program = commandLine.substr(start, end - start);
  if (token.quoted && end < commandLine.size()) ++end;
  token.rest = RestAfterOneBlank(commandLine, end);
  return token;
}

std::optional<std::size_t> EndOfOwnName(std::u16string_view commandLine,
                                        std::u16string_view modulePath) {
  const std::u16string_view fileName = FileNameOf(modulePath);
  // Of the last component so far: where it starts, where it ends without the
  // dots and spaces that end it, and whether it holds a dot.
  std::size_t nameStart = 0;
  std::size_t nameEnd = 0;
  bool nameHoldsDot = false;
  // Names that differ only in the dots and spaces that end them are one path.
  std::size_t triedNameEnd = kNone;
  for (std::size_t end = 0; end <= commandLine.size(); ++end) {
    const bool lineEnds = end == commandLine.size();
    if (end > 0 && (lineEnds || IsBlank(commandLine[end]))) {
      const std::u16string_view prefix = commandLine.substr(0, end);
      const bool namesModuleFile =
          nameHoldsDot ? nameEnd != triedNameEnd &&
                             EqualFoldingAsciiCase(
                                 commandLine.substr(nameStart, nameEnd - nameStart), fileName)
                       : IsNameWithoutExe(prefix.substr(nameStart), fileName);
      if (namesModuleFile) {
        if (nameHoldsDot) triedNameEnd = nameEnd;
        if (FoldersMayLeadTo(prefix, modulePath)) {
          const std::optional<WideText> full = FullPathName(ProgramPathOf(prefix));
          if (full && EqualFoldingAsciiCase(*full, modulePath)) return end;
        }
      }
    }
    if (lineEnds) break;
    const char16_t unit = commandLine[end];
    if (IsSeparator(unit)) {
      nameStart = end + 1;
      nameHoldsDot = false;
    } else if (unit == u'.') {
      nameHoldsDot = true;
    }
    if (kDotsAndSpaces.find(unit) == kNone) nameEnd = end + 1;
  }
  return std::nullopt;
}

WideText ProgramPathOf(std::u16string_view path) {
  if (FileNameOf(path).find(u'.') != kNone) return TextOf(WithoutTrailingDotsAndSpaces(path));
  WideText completed = TextOf(path);
  completed += kExe;
  return completed;
}

std::u16string_view ArgumentsAfter(std::u16string_view commandLine, std::size_t end) {
  const std::size_t rest = commandLine.find_first_not_of(kBlanks, end);
  return commandLine.substr(rest == kNone ? commandLine.size() : rest);
}

std::optional<std::u16string_view> ExePathNamedIn(std::u16string_view commandLine) {
  const ProgramToken token = SplitProgramToken(commandLine);
  if (token.quoted) {
    const std::u16string_view path = WithoutTrailingDotsAndSpaces(token.program);
    if (!EndsWithExe(path)) return std::nullopt;
    return path;
  }
  const std::optional<std::size_t> end = EndOfExeFollowedBy(commandLine, u" \t\"");
  if (!end) return std::nullopt;
  return commandLine.substr(0, *end);
}

bool IsBackslashPath(std::u16string_view path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator != kNone && path[separator] == u'\\';
}

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator == kNone ? path : path.substr(separator + 1);
}

bool NamesFile(std::u16string_view program, std::u16string_view fileName) {
  const std::u16string_view name = WithoutTrailingDotsAndSpaces(FileNameOf(program));
  return EqualFoldingAsciiCase(name, fileName) || IsNameWithoutExe(name, fileName);
}

std::optional<ShellCommand> ShellCommandOf(std::u16string_view commandLine) {
  const ProgramToken token = SplitProgramToken(commandLine);
  if (token.program.empty()) return std::nullopt;
  if (token.quoted) return ShellCommand{TextOf(token.program), TextOf(token.rest)};
  // CreateProcessW tried the text before each blank in turn and ran the first
  // that named a program.
  for (std::size_t end = token.program.size();;) {
    if (std::optional<WideText> file = FindProgramFile(TextOf(commandLine.substr(0, end))))
      return ShellCommand{*std::move(file), TextOf(RestAfterOneBlank(commandLine, end))};
    if (end == commandLine.size()) break;
    end = commandLine.find_first_of(kBlanks, end + 1);
    if (end == kNone) end = commandLine.size();
  }
  return ShellCommand{TextOf(token.program), TextOf(token.rest)};
}
