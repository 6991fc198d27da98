// The launcher's path and arguments on any command line (the input as
// UTF-16LE): ExePathNamedIn, ConfigPathFor and TailAfterUnquotedPath for a
// launcher named viewer.exe, checked against a plain reading of the rules.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz_support.h"
#include "launch/config_file.h"
#include "launch/program_token.h"

namespace {

constexpr std::u16string_view kLauncherFileName = u"viewer.exe";

char16_t LowerAscii(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

bool IsExeAt(std::u16string_view text, std::size_t at) {
  constexpr std::u16string_view kExe = u".exe";
  if (at + kExe.size() > text.size()) return false;
  for (std::size_t i = 0; i < kExe.size(); ++i) {
    if (LowerAscii(text[at + i]) != kExe[i]) return false;
  }
  return true;
}

bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

// The end of the first ".exe" after which the text ends or one of `followers`
// comes.
std::optional<std::size_t> FirstExeEnd(std::u16string_view text, std::u16string_view followers) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (!IsExeAt(text, at)) continue;
    const std::size_t end = at + 4;
    if (end == text.size() || followers.find(text[end]) != std::u16string_view::npos) return end;
  }
  return std::nullopt;
}

void CheckNamedPath(std::u16string_view line) {
  const std::optional<std::u16string_view> path = ExePathNamedIn(line);
  if (!line.empty() && line.front() == u'"') {
    const std::u16string_view quoted = line.substr(1);
    const std::u16string_view token = quoted.substr(0, quoted.find(u'"'));
    const bool endsWithExe = token.size() >= 4 && IsExeAt(token, token.size() - 4);
    Require(path.has_value() == endsWithExe, "a quoted token names a path when it ends in .exe");
    if (path) Require(*path == token, "the path is the whole quoted token");
    return;
  }
  const std::optional<std::size_t> end = FirstExeEnd(line, u" \t\"");
  Require(path.has_value() == end.has_value(),
          "an unquoted line names a path when an .exe ends before a blank, quote or its end");
  if (!path) return;
  Require(*path == line.substr(0, *end), "the path runs to the end of the first such .exe");
  const WideText configPath = ConfigPathFor(WideText(*path));
  Require(configPath.size() == path->size() &&
              std::u16string_view(configPath).substr(0, path->size() - 4) ==
                  path->substr(0, path->size() - 4) &&
              configPath.ends_with(u".ini"),
          "the configuration path puts .ini in place of the path's .exe, keeping the rest");
}

void CheckTail(std::u16string_view line) {
  const std::optional<std::u16string_view> tail = TailAfterUnquotedPath(line, kLauncherFileName);
  if (!tail) return;
  Require(!line.empty() && line.front() != u'"', "only an unquoted line has its own tail");
  Require(line.ends_with(*tail) && (tail->empty() || !IsBlank(tail->front())),
          "the tail is the end of the line, without leading blanks");
  std::u16string_view before = line.substr(0, line.size() - tail->size());
  while (!before.empty() && IsBlank(before.back())) before.remove_suffix(1);
  Require(FirstExeEnd(line, u" \t") == before.size(), "the tail follows the line's first .exe");
  const std::size_t separator = before.find_last_of(u"\\/");
  const std::u16string_view fileName =
      separator == std::u16string_view::npos ? before : before.substr(separator + 1);
  Require(fileName.size() == kLauncherFileName.size() && IsExeAt(fileName, fileName.size() - 4),
          "the path before the tail ends in the launcher's file name");
  for (std::size_t i = 0; i < fileName.size(); ++i) {
    Require(LowerAscii(fileName[i]) == kLauncherFileName[i],
            "the path before the tail ends in the launcher's file name");
  }
  const std::size_t blank = line.find_first_of(u" \t");
  Require(blank != std::u16string_view::npos && blank < before.size(),
          "the path before the tail holds a blank");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WideText line = Utf16FromBytes(data, size);
  CheckNamedPath(line);
  CheckTail(line);
  return 0;
}
