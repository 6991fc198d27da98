#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <limits>

#include "launch/platform.h"
#include "launch/win32_text.h"

std::FILE* OpenConfigFile(const WideText& path) {
  std::FILE* file = nullptr;
  if (_wfopen_s(&file, AsWindowsText(path), L"r") != 0) return nullptr;
  return file;
}

// The stream's buffer holds what text mode already translated; the seek
// discards it, so every byte from `offset` on is read afresh, untranslated.
bool ReadBytesFrom(std::FILE* file, long offset) {
  return _setmode(_fileno(file), _O_BINARY) != -1 && std::fseek(file, offset, SEEK_SET) == 0;
}

WideText DecodeAnsi(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return WideText();
  const int byteCount = static_cast<int>(bytes.size());
  const int unitCount = MultiByteToWideChar(CP_ACP, 0, bytes.data(), byteCount, nullptr, 0);
  if (unitCount <= 0) return WideText();
  WideText text(static_cast<std::size_t>(unitCount), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), byteCount,
                      reinterpret_cast<wchar_t*>(text.data()), unitCount);
  return text;
}
