// launcher-brand on Windows (see brand_copy.h). A console shows the text
// itself; a file or pipe gets it as UTF-8, as the Linux build writes it.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "brand/brand_copy.h"
#include "brand/utf8_escaped.h"
#include "text/text.h"
#include "text/win32_text.h"

namespace {

void Print(DWORD stream, const WideText& text) {
  if (text.empty()) return;
  const HANDLE output = GetStdHandle(stream);
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(output, &mode)) {
    WideText lines;
    for (const char16_t unit : text) {
      if (unit == u'\n') lines.push_back(u'\r');
      lines.push_back(unit);
    }
    WriteConsoleW(output, AsWindowsText(lines), static_cast<DWORD>(lines.size()), &written, nullptr);
    return;
  }
  const std::string utf8 = EncodeUtf8Escaped(text);
  WriteFile(output, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

// The tool links the launcher's ends for the C++ runtime's error paths
// (runtime_win32.cpp); its strings built from raw bytes add this one, whose
// default would link the runtime's exception classes.
namespace std {
void __throw_logic_error(const char*) { std::abort(); }
}  // namespace std

int wmain(int argc, wchar_t** argv) {
  std::vector<WideText> arguments;
  for (int index = 1; index < argc; ++index) arguments.push_back(FromWindowsText(argv[index]));
  const BrandToolRun run = RunBrandTool(arguments);
  Print(STD_OUTPUT_HANDLE, run.output);
  Print(STD_ERROR_HANDLE, run.errors);
  return run.status;
}
