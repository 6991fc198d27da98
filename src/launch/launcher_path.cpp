#include "launch/launcher_path.h"

#include "text/text.h"

namespace {

bool IsSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

constexpr std::u16string_view kLongPathPrefix = u"\\\\?\\";
constexpr std::u16string_view kLongUncPrefix = u"\\\\?\\UNC\\";
constexpr std::u16string_view kVolume = u"Volume{";

// Whether `share` is "server\share": two names and one backslash between them.
bool IsServerAndShare(std::u16string_view share) {
  const std::size_t separator = share.find(u'\\');
  if (separator == 0 || separator == std::u16string_view::npos || separator + 1 == share.size())
    return false;
  const std::u16string_view server = share.substr(0, separator);
  // "\\.\" and "\\?\" start device paths, not shares.
  return server != u"." && server != u"?" &&
         share.find(u'\\', separator + 1) == std::u16string_view::npos;
}

}  // namespace

bool IsAbsolutePath(std::u16string_view path) {
  if (path.size() >= 3 && path[1] == u':' && IsSeparator(path[2])) return true;
  return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

bool HasShortNameForm(std::u16string_view fileName) {
  if (fileName.find(u' ') != std::u16string_view::npos) return false;
  // Asking the file system for the long name of every 8.3 name would cost each
  // ordinary start ("viewer.exe") a lookup of every folder on its path.
  if (fileName.find(u'~') == std::u16string_view::npos) return false;
  const std::size_t dot = fileName.find(u'.');
  if (dot == std::u16string_view::npos) return !fileName.empty() && fileName.size() <= 8;
  const std::size_t extension = fileName.size() - dot - 1;
  return dot >= 1 && dot <= 8 && extension >= 1 && extension <= 3 &&
         fileName.find(u'.', dot + 1) == std::u16string_view::npos;
}

std::optional<WideText> WithoutLongPathPrefix(std::u16string_view path) {
  // Windows reads "UNC" in any letter case there.
  if (path.size() >= kLongUncPrefix.size() &&
      EqualFoldingAsciiCase(path.substr(0, kLongUncPrefix.size()), kLongUncPrefix)) {
    // "\\?\UNC\server" less its first six units is "C\server", which is
    // "\\server" once its first unit is a backslash.
    WideText plain = TextOf(path.substr(kLongUncPrefix.size() - 2));
    plain[0] = u'\\';
    return plain;
  }
  if (!path.starts_with(kLongPathPrefix)) return std::nullopt;
  return TextOf(path.substr(kLongPathPrefix.size()));
}

bool IsShareOrVolumeRoot(std::u16string_view directory) {
  const std::optional<WideText> plain = WithoutLongPathPrefix(directory);
  const std::u16string_view path = plain ? std::u16string_view(*plain) : directory;
  if (path.starts_with(u"\\\\")) return IsServerAndShare(path.substr(2));
  return plain && path.size() > kVolume.size() &&
         EqualFoldingAsciiCase(path.substr(0, kVolume.size()), kVolume) &&
         path.find(u'\\') == std::u16string_view::npos;
}
