// Holds a file open as another program may while launcher-brand replaces it:
// a virus scanner for a moment, an editor or a running copy for longer.
//
//   hold_file.exe FILE MARKER MILLISECONDS [--share-delete]
//
// Opens FILE for reading, sharing reading and writing but, unless
// --share-delete is given, not deletion, which is what keeps a file from
// being renamed or replaced; then creates MARKER and holds FILE until
// MILLISECONDS have passed or MARKER is gone. Exits 0, or 1 when FILE cannot
// be opened or MARKER made.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 1;
  const bool shareDelete = argc > 4 && std::wcscmp(argv[4], L"--share-delete") == 0;
  const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | (shareDelete ? FILE_SHARE_DELETE : 0);
  const HANDLE file =
      CreateFileW(argv[1], GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const HANDLE marker = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(marker);
  const ULONGLONG until = GetTickCount64() + std::wcstoul(argv[3], nullptr, 10);
  while (GetTickCount64() < until && GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES) Sleep(20);
  CloseHandle(file);
  return 0;
}
