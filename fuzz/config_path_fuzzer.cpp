// ResolveConfigPath on any command line (the input as UTF-16LE).

#include <cstddef>
#include <cstdint>
#include <optional>

#include "fuzz_support.h"
#include "launch/config_file.h"

namespace {

char16_t LowerAscii(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

// Where ".exe" first starts in `text`, ASCII letters in any case.
std::optional<std::size_t> FirstExe(const WideText& text) {
  constexpr std::u16string_view kExe = u".exe";
  for (std::size_t at = 0; at + kExe.size() <= text.size(); ++at) {
    std::size_t matched = 0;
    while (matched < kExe.size() && LowerAscii(text[at + matched]) == kExe[matched]) ++matched;
    if (matched == kExe.size()) return at;
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WideText rawCommandLine = Utf16FromBytes(data, size);
  const Outcome<WideText> outcome = ResolveConfigPath(rawCommandLine);

  WideText unquoted = rawCommandLine;
  if (!unquoted.empty() && unquoted.front() == u'"') unquoted.erase(0, 1);
  const std::optional<std::size_t> exe = FirstExe(unquoted);
  const WideText* path = std::get_if<WideText>(&outcome);
  Require((path == nullptr) == !exe, "fails exactly when the unquoted line holds no \".exe\"");
  if (path == nullptr) {
    Require(std::get<LaunchFailure>(outcome) == LaunchFailure::kNoExeInCommandLine,
            "the failure is kNoExeInCommandLine");
    return 0;
  }
  Require(path->ends_with(u".ini"), "the path ends in \".ini\"");
  const std::u16string_view stem(path->data(), path->size() - 4);
  Require(unquoted.starts_with(stem), "the rest is a prefix of the unquoted line, case kept");
  Require(stem.size() == *exe, "the path is cut at the first \".exe\"");
  return 0;
}
