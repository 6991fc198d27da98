// launcher-brand SOURCE.exe TARGET.exe [options]: writes a branded copy of a
// launcher (see brand_request.h for the command line). Prints one line and
// exits 0 when the copy is in place, or prints the failure's line on the
// error stream and exits 1.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "brand/brand_request.h"
#include "brand/brand_win32.h"
#include "launch/win32_text.h"

namespace {

// A console shows the UTF-16 text itself; a file or pipe gets it as UTF-8.
void PrintLine(DWORD stream, const WideText& line) {
  const HANDLE output = GetStdHandle(stream);
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(output, &mode)) {
    const WideText withEnd = line + u"\r\n";
    WriteConsoleW(output, AsWindowsText(withEnd), static_cast<DWORD>(withEnd.size()), &written, nullptr);
    return;
  }
  const int units = static_cast<int>(line.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, AsWindowsText(line), units, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, AsWindowsText(line), units, utf8.data(), size, nullptr, nullptr);
  utf8 += '\n';
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

  auto request = ParseBrandArguments(arguments);
  std::optional<BrandFailure> failure;
  if (const auto* parsed = std::get_if<BrandRequest>(&request)) {
    failure = WriteBrandedCopy(*parsed);
    if (!failure) {
      PrintLine(STD_OUTPUT_HANDLE, u"launcher-brand: wrote '" + parsed->target + u"' from '" +
                                       parsed->source + u"'");
      return 0;
    }
  } else {
    failure = std::get<BrandFailure>(request);
  }
  PrintLine(STD_ERROR_HANDLE, FailureMessage(*failure));
  return 1;
}
