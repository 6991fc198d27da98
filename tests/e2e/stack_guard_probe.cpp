// Shows the launcher's stack-protection support at work, linked as in the
// launcher:
//   stack_guard_probe            exits with bits 8 to 38 of this run's cookie
//   stack_guard_probe --overrun  writes past a local buffer, then returns
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

extern "C" void* __stack_chk_guard;

namespace {

__attribute__((noinline)) void WritePast(std::size_t count) {
  char buffer[16];
  std::memset(buffer, 'x', count);
  asm volatile("" : : "r"(buffer) : "memory");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"--overrun") == 0) {
    // Read at run time, so the compiler cannot see the overrun coming.
    volatile std::size_t count = 64;
    WritePast(count);
    return 0;
  }
  return static_cast<int>((reinterpret_cast<std::uintptr_t>(__stack_chk_guard) >> 8) & 0x7FFFFFFF);
}
