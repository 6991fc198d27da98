#include "launch/config_file.h"

#include <cstdio>
#include <optional>
#include <string>

#include "launch/platform.h"
#include "launch/text.h"

namespace {

// Folds 'A' to 'Z' only: the path may hold any code unit, and a locale's idea
// of case must not move ".exe".
WideText FoldAsciiCase(WideText text) {
  for (char16_t& unit : text) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
  }
  return text;
}

// The file's length, as the runtime reports it; 0 or less when it cannot.
long FileSize(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  return std::ftell(file);
}

// The bytes from the start up to the first line feed, NUL byte or end of
// file, less a CR that ends them; nothing when the file is empty, its size
// cannot be taken or it cannot be read from the start. Holds no more than the
// line in memory.
std::optional<std::string> ReadFirstLine(std::FILE* file) {
  if (FileSize(file) <= 0 || std::fseek(file, 0, SEEK_SET) != 0) return std::nullopt;
  std::string line;
  for (int c = std::getc(file); c != EOF && c != '\n' && c != '\0'; c = std::getc(file)) {
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

WideText DecodeTemplateLine(std::string_view line) {
  if (line.starts_with(kUtf8ByteOrderMark)) line.remove_prefix(kUtf8ByteOrderMark.size());
  if (std::optional<WideText> text = DecodeUtf8(line)) return *std::move(text);
  return DecodeAnsi(line);
}

}  // namespace

Outcome<WideText> ResolveConfigPath(WideText rawCommandLine) {
  if (!rawCommandLine.empty() && rawCommandLine.front() == u'"') rawCommandLine.erase(0, 1);
  const std::optional<std::size_t> exe = FindFirst(FoldAsciiCase(rawCommandLine), u".exe");
  if (!exe) return LaunchFailure::kNoExeInCommandLine;
  return rawCommandLine.substr(0, *exe) + u".ini";
}

Outcome<WideText> ReadCommandTemplate(WideText configPath) {
  std::FILE* file = OpenConfigFile(configPath);
  if (file == nullptr) return LaunchFailure::kConfigNotFound;
  const std::optional<std::string> line = ReadFirstLine(file);
  std::fclose(file);
  if (!line) return LaunchFailure::kConfigEmpty;
  return DecodeTemplateLine(*line);
}
