// The launcher's stack-protection support, in place of GCC's libssp. libssp
// seeds its cookie through ADVAPI32's CryptGenRandom, and loading ADVAPI32 at
// start-up nearly doubled the time a start through the launcher took under Wine.
// The seed here mixes, from KERNEL32 alone, what Windows' own /GS cookie is
// made of: the time, the process and thread ids, the tick count, the
// performance counter, and a stack address that address-space randomisation
// moves. A failed check ends the process at once with
// STATUS_STACK_BUFFER_OVERRUN, which no exception handler can intercept.
#include <windows.h>

#include <cstdint>

extern "C" {
// Read by every protected function; replaced before any of them runs.
void* __stack_chk_guard = reinterpret_cast<void*>(std::uintptr_t{0x2B992DDFA232});

[[noreturn]] void __stack_chk_fail() {
  asm volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE));
  __builtin_unreachable();
}
}

namespace {

// Runs with the static constructors, before wWinMain, while no protected frame
// is live; it cannot protect itself, as the cookie changes under it.
__attribute__((constructor(101), no_stack_protector)) void SeedStackGuard() {
  FILETIME time{};
  GetSystemTimeAsFileTime(&time);
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  std::uint64_t seed = (std::uint64_t{time.dwHighDateTime} << 32) ^ time.dwLowDateTime;
  seed ^= std::uint64_t{GetCurrentProcessId()} << 32 ^ GetCurrentThreadId();
  seed ^= GetTickCount64();
  seed ^= static_cast<std::uint64_t>(counter.QuadPart) << 32 ^
          static_cast<std::uint64_t>(counter.QuadPart);
  seed ^= reinterpret_cast<std::uintptr_t>(&seed);
  // A zero byte at the bottom stops string copies from reading the cookie out
  // or writing it back.
  seed &= ~std::uint64_t{0xFF};
  __stack_chk_guard = reinterpret_cast<void*>(static_cast<std::uintptr_t>(seed));
}

}  // namespace
