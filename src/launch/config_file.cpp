#include "launch/config_file.h"

#include <cstdio>
#include <optional>
#include <string>

#include "launch/platform.h"
#include "text/text.h"

namespace {

// The file's length, as the runtime reports it; 0 or less when it cannot.
long FileSize(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  return std::ftell(file);
}

// The bytes up to the first line feed, NUL byte or end of file, less a CR that
// ends them. Holds no more than the line in memory.
std::string ReadEightBitLine(std::FILE* file) {
  std::string line;
  for (int c = std::getc(file); c != EOF && c != '\n' && c != '\0'; c = std::getc(file)) {
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

enum class ByteOrder { kLittleEndian, kBigEndian };

// The code units up to the first line feed, NUL or end of file, less a CR that
// ends them; an odd last byte is no code unit. Surrogates are not paired up:
// whatever the file holds goes through as it is.
WideText ReadUtf16Line(std::FILE* file, ByteOrder order) {
  WideText line;
  for (;;) {
    const int first = std::getc(file);
    const int second = first == EOF ? EOF : std::getc(file);
    if (second == EOF) break;
    const auto unit = static_cast<char16_t>(order == ByteOrder::kLittleEndian
                                                ? first | second << 8
                                                : first << 8 | second);
    if (unit == u'\n' || unit == u'\0') break;
    line.push_back(unit);
  }
  if (!line.empty() && line.back() == u'\r') line.pop_back();
  return line;
}

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

WideText DecodeEightBitLine(std::string_view line) {
  if (line.starts_with(kUtf8ByteOrderMark)) line.remove_prefix(kUtf8ByteOrderMark.size());
  if (std::optional<WideText> text = DecodeUtf8(line)) return *std::move(text);
  return DecodeAnsi(line);
}

// The first line as text: UTF-16 after a byte-order mark FF FE (little-endian)
// or FE FF (big-endian), otherwise 8-bit text. UTF-16 is read as the bytes
// stored: text mode would join the bytes 0D 0A inside a code unit pair and end
// the file at a 1A byte, as in U+041A. Nothing when the file is empty, its size
// cannot be taken or it cannot be read from the start.
std::optional<WideText> ReadFirstLine(std::FILE* file) {
  if (FileSize(file) <= 0 || std::fseek(file, 0, SEEK_SET) != 0) return std::nullopt;
  const int first = std::getc(file);
  const int second = std::getc(file);
  if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
    if (!ReadBytesFrom(file, 2)) return std::nullopt;
    return ReadUtf16Line(file, first == 0xFF ? ByteOrder::kLittleEndian : ByteOrder::kBigEndian);
  }
  if (std::fseek(file, 0, SEEK_SET) != 0) return std::nullopt;
  return DecodeEightBitLine(ReadEightBitLine(file));
}

// Spaces and tabs alone start nothing: the arguments would be run as the command.
bool IsBlank(const WideText& text) { return text.find_first_not_of(u" \t") == WideText::npos; }

}  // namespace

WideText ConfigPathFor(WideText launcherPath) {
  constexpr std::size_t kExtension = 4;
  launcherPath.resize(launcherPath.size() >= kExtension ? launcherPath.size() - kExtension : 0);
  return launcherPath + u".ini";
}

Outcome<WideText> ReadCommandTemplate(WideText configPath) {
  std::FILE* file = OpenConfigFile(configPath);
  if (file == nullptr) return LaunchFailure::kConfigNotFound;
  std::optional<WideText> line = ReadFirstLine(file);
  std::fclose(file);
  if (!line || IsBlank(*line)) return LaunchFailure::kConfigEmpty;
  return *std::move(line);
}
