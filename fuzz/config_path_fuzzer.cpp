// The launcher's path on any command line (the input as UTF-16LE):
// ExePathNamedIn and ConfigPathFor, and EndOfOwnName for launchers at a few
// paths, checked against a plain reading of the rules. Paths are made
// absolute by the fuzz platform's model of GetFullPathNameW.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz_support.h"
#include "launch/config_file.h"
#include "launch/platform.h"
#include "launch/program_token.h"

namespace {

// Launchers in the model's current directory, in a folder with a space, at
// the root of a share, and with ".exe" inside their file name.
constexpr std::u16string_view kModulePaths[] = {
    u"C:\\Current\\viewer.exe", u"C:\\Prod Dir\\bin\\viewer.exe",
    u"\\\\nas\\stick\\VIEWER.EXE", u"C:\\Current\\v.exe.exe"};

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
    std::u16string_view token = quoted.substr(0, quoted.find(u'"'));
    while (!token.empty() && (token.back() == u'.' || token.back() == u' ')) token.remove_suffix(1);
    const bool endsWithExe = token.size() >= 4 && IsExeAt(token, token.size() - 4);
    Require(path.has_value() == endsWithExe,
            "a quoted token names a path when it ends in .exe and then dots and spaces");
    if (path) Require(*path == token, "the path is the quoted token without those dots and spaces");
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

bool EqualIgnoringAsciiCase(std::u16string_view first, std::u16string_view second) {
  if (first.size() != second.size()) return false;
  for (std::size_t i = 0; i < first.size(); ++i) {
    if (LowerAscii(first[i]) != LowerAscii(second[i])) return false;
  }
  return true;
}

// Each blank in turn, then the end: where the text since the last "\" or "/"
// before it, without the dots and spaces that end it and with ".exe" added
// when it holds no dot, is the module's file name, the text before the blank
// with ".exe" added when its file name as written holds no dot, made absolute.
std::optional<std::size_t> PlainEndOfOwnName(std::u16string_view line,
                                             std::u16string_view modulePath) {
  const std::u16string_view fileName = modulePath.substr(modulePath.find_last_of(u"\\/") + 1);
  for (std::size_t end = 1; end <= line.size(); ++end) {
    if (end < line.size() && !IsBlank(line[end])) continue;
    WideText path(line.substr(0, end));
    const std::size_t separator = path.find_last_of(u"\\/");
    const std::size_t nameStart = separator == WideText::npos ? 0 : separator + 1;
    WideText name = path.substr(nameStart);
    while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
    if (name.find(u'.') == WideText::npos) name += u".exe";
    if (!EqualIgnoringAsciiCase(name, fileName)) continue;
    if (path.find(u'.', nameStart) == WideText::npos) path += u".exe";
    const std::optional<WideText> full = FullPathName(path);
    if (full && EqualIgnoringAsciiCase(*full, modulePath)) return end;
  }
  return std::nullopt;
}

void CheckOwnName(std::u16string_view line) {
  for (const std::u16string_view modulePath : kModulePaths) {
    Require(EndOfOwnName(line, modulePath) == PlainEndOfOwnName(line, modulePath),
            "the name ends at the first blank where the text before it is the module");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WideText line = Utf16FromBytes(data, size);
  CheckNamedPath(line);
  CheckOwnName(line);
  return 0;
}
