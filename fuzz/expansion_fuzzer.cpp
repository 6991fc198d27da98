// ExpandCommandLine on any template, argument tail and configuration path:
// the input as UTF-16LE, split into those three at the first two U+FFFF code
// units (a noncharacter, so no part needs it); missing parts are empty.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "launch/expansion.h"
#include "launch/launcher_path.h"

namespace {

constexpr char16_t kSeparator = u'\uFFFF';

std::array<WideText, 3> SplitParts(const WideText& input) {
  std::array<WideText, 3> parts;
  std::size_t part = 0;
  for (const char16_t unit : input) {
    if (unit == kSeparator && part < 2) {
      ++part;
    } else {
      parts[part].push_back(unit);
    }
  }
  return parts;
}

// How often `pattern` occurs, counted left to right without overlaps.
std::size_t CountOccurrences(std::u16string_view text, std::u16string_view pattern) {
  std::size_t count = 0;
  for (std::size_t at = 0; at + pattern.size() <= text.size();) {
    if (text.substr(at, pattern.size()) == pattern) {
      ++count;
      at += pattern.size();
    } else {
      ++at;
    }
  }
  return count;
}

// Each occurrence replaced in one left-to-right pass, unit by unit.
WideText ReplaceEach(std::u16string_view text, std::u16string_view pattern,
                     std::u16string_view replacement) {
  WideText result;
  for (std::size_t at = 0; at < text.size();) {
    if (text.substr(at, pattern.size()) == pattern) {
      result += replacement;
      at += pattern.size();
    } else {
      result.push_back(text[at++]);
    }
  }
  return result;
}

// `path` before its last backslash, scanning from the end; empty without one.
WideText BeforeLastBackslash(const WideText& path) {
  for (std::size_t at = path.size(); at > 0; --at) {
    if (path[at - 1] == u'\\') return path.substr(0, at - 1);
  }
  return WideText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto [commandTemplate, argumentTail, configPath] = SplitParts(Utf16FromBytes(data, size));
  const ExpandedCommand expanded = ExpandCommandLine(commandTemplate, argumentTail, configPath);

  WideText joined = commandTemplate;
  if (!argumentTail.empty()) joined += u" " + argumentTail;
  const WideText directory = BeforeLastBackslash(configPath);
  const bool bareDrive = directory.size() == 2 && directory[1] == u':';
  Require(expanded.currentDirectory == (bareDrive ? directory + u"\\" : directory),
          "the current directory is the path up to its last backslash, a bare drive's root");
  if (configPath.find(u'\\') == WideText::npos) {
    Require(expanded.commandLine == joined,
            "without a backslash in the path the placeholders stay as they are");
    return 0;
  }

  // ".." stays at the root of a share or volume, told apart by the launcher's
  // own rule (IsShareOrVolumeRoot, which its unit tests check).
  const WideText parent =
      IsShareOrVolumeRoot(directory) ? directory : BeforeLastBackslash(directory);
  const std::size_t dots = CountOccurrences(joined, u"[.]");
  const WideText afterDots = ReplaceEach(joined, u"[.]", directory);
  const std::size_t dotDots = CountOccurrences(afterDots, u"[..]");
  // A replacement shorter than its placeholder makes its difference negative;
  // the unsigned wrap-around cancels out in the sum.
  const std::size_t predictedLength = joined.size() + dots * (directory.size() - 3) +
                                      dotDots * (parent.size() - 4);
  Require(expanded.commandLine.size() == predictedLength,
          "the length follows from the placeholders counted in each pass");
  Require(expanded.commandLine == ReplaceEach(afterDots, u"[..]", parent),
          "\"[.]\" is replaced first, then \"[..]\" in that result");
  return 0;
}
