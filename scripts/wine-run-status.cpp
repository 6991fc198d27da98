// Starts a program under Wine as wine64 itself would, waits for it, and writes
// its whole exit code to a file: Linux sees only the code's low byte, and a
// program that crashed under Wine's debugger exits there with 0.
//
//   wine-run-status.exe STATUS_FILE PROGRAM [ARGUMENTS...]
//
// PROGRAM is an absolute Linux path (with a '/') or a Windows name or path.
// The program gets the command line wine64 would give it, the full Windows
// path of PROGRAM quoted and then ARGUMENTS exactly as they arrived here, this
// program's standard handles (so its startup information holds
// STARTF_USESTDHANDLES, where wine64 gives no flags) and current folder; under
// Wine it gets no console, as under wine64. Writes the exit code in decimal and a line end to
// STATUS_FILE (a Windows path) and exits with it; exits 127 without writing
// when PROGRAM cannot be started. STATUS_FILE and PROGRAM hold no '"'.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Token {
  std::wstring value;
  const wchar_t* end;  // the first character after the token
};

// The next token of a command line whose tokens hold no quote but the pair
// around a token with blanks.
Token NextToken(const wchar_t* at) {
  while (*at == L' ' || *at == L'\t') ++at;
  if (*at == L'"') {
    const wchar_t* close = std::wcschr(at + 1, L'"');
    if (close == nullptr) return {std::wstring(at + 1), at + std::wcslen(at)};
    return {std::wstring(at + 1, close), close + 1};
  }
  const wchar_t* end = at;
  while (*end != L'\0' && *end != L' ' && *end != L'\t') ++end;
  return {std::wstring(at, end), end};
}

// The full Windows path of the program named as wine64 takes it; empty when
// there is none.
std::wstring ProgramPath(const std::wstring& name) {
  if (name.find(L'/') != std::wstring::npos) {
    using ToDosName = wchar_t*(CDECL*)(const char*);
    const auto toDosName = reinterpret_cast<ToDosName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    const int size = WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (toDosName == nullptr || size <= 0) return {};
    std::string unixName(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, unixName.data(), size, nullptr, nullptr);
    wchar_t* dosName = toDosName(unixName.c_str());
    if (dosName == nullptr) return {};
    std::wstring path(dosName);
    HeapFree(GetProcessHeap(), 0, dosName);
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
  }
  wchar_t path[MAX_PATH];
  const DWORD length = SearchPathW(nullptr, name.c_str(), L".exe", MAX_PATH, path, nullptr);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length);
}

bool WriteStatus(const std::wstring& file, DWORD code) {
  char text[16];
  const int length = std::snprintf(text, sizeof(text), "%lu\n", static_cast<unsigned long>(code));
  const HANDLE handle =
      CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool complete = WriteFile(handle, text, static_cast<DWORD>(length), &written, nullptr) &&
                        written == static_cast<DWORD>(length);
  return CloseHandle(handle) && complete;
}

}  // namespace

int wmain() {
  const Token self = NextToken(GetCommandLineW());
  const Token statusFile = NextToken(self.end);
  const Token program = NextToken(statusFile.end);
  if (statusFile.value.empty() || program.value.empty()) {
    std::fputs("usage: wine-run-status.exe STATUS_FILE PROGRAM [ARGUMENTS...]\n", stderr);
    return 127;
  }
  const std::wstring path = ProgramPath(program.value);
  std::wstring commandLine = L"\"" + path + L"\"" + program.end;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (path.empty() || !CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "wine-run: cannot start %ls (error %lu)\n", program.value.c_str(),
                 path.empty() ? static_cast<unsigned long>(ERROR_FILE_NOT_FOUND) : GetLastError());
    return 127;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  if (!WriteStatus(statusFile.value, code)) {
    std::fprintf(stderr, "wine-run: cannot write %ls\n", statusFile.value.c_str());
    return 127;
  }
  return static_cast<int>(code);
}
