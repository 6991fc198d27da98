#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <limits>

#include "launch/platform.h"
#include "text/win32_text.h"

// _wfopen_s would deny others writing and deleting while the launcher reads
// (Windows shares nothing there), and fail itself while an editor or a sync
// client holds the file with write or delete access. CreateFileW shares all
// three ways; the runtime then reads the handle as a stream, which closes it.
std::FILE* OpenConfigFile(const WideText& path) {
  const HANDLE handle =
      CreateFileW(AsWindowsText(path), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_TEXT);
  if (descriptor == -1) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "r");
  if (file == nullptr) _close(descriptor);
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
