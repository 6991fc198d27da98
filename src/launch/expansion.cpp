#include "launch/expansion.h"

#include <optional>

#include "launch/launcher_path.h"
#include "text/text.h"

namespace {

bool IsBareDrive(const WideText& directory) {
  return directory.size() == 2 && directory[1] == u':';
}

}  // namespace

ExpandedCommand ExpandCommandLine(WideText commandTemplate, WideText argumentTail,
                                  WideText configPath) {
  WideText commandLine = std::move(commandTemplate);
  if (!argumentTail.empty()) {
    commandLine += u' ';
    commandLine += argumentTail;
  }
  const std::optional<std::size_t> backslash = FindLast(configPath, u'\\');
  if (!backslash) return {std::move(commandLine), WideText()};

  WideText launcherDirectory = configPath.substr(0, *backslash);
  // ".." at the root of a share or volume is that root, as it is for Windows.
  WideText parentDirectory = IsShareOrVolumeRoot(launcherDirectory)
                                 ? launcherDirectory
                                 : ParentDirectory(launcherDirectory);
  // "[..]" runs second, over the result of the first pass, so a "[..]" that a
  // directory name brought in is substituted too.
  commandLine = ReplaceAll(std::move(commandLine), u"[.]", launcherDirectory);
  commandLine = ReplaceAll(std::move(commandLine), u"[..]", std::move(parentDirectory));
  // "X:" alone is drive X's current directory, which is wherever the
  // launcher's caller last was on that drive.
  if (IsBareDrive(launcherDirectory)) launcherDirectory += u'\\';
  return {std::move(commandLine), std::move(launcherDirectory)};
}

WideText ReplaceAll(WideText text, WideText pattern, WideText replacement) {
  std::optional<std::size_t> found = FindFirst(text, pattern);
  if (!found) return text;
  // Sized once: growing by doubling would copy and fault in the long result
  // of a tail full of placeholders several times over.
  std::size_t count = 0;
  for (std::optional<std::size_t> at = found; at; at = FindFirst(text, pattern, *at + pattern.size()))
    ++count;
  WideText result;
  result.reserve(text.size() - count * pattern.size() + count * replacement.size());
  std::size_t copied = 0;
  for (; found; found = FindFirst(text, pattern, copied)) {
    result.append(text, copied, *found - copied);
    result += replacement;
    copied = *found + pattern.size();
  }
  result.append(text, copied);
  return result;
}

WideText ParentDirectory(WideText path) {
  const std::optional<std::size_t> backslash = FindLast(path, u'\\');
  if (!backslash) return WideText();
  path.resize(*backslash);
  return path;
}
