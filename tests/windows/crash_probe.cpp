// Crashes as a faulty Windows program does: it reads address 8, as a null
// pointer to a structure would, which no handler of its own catches.
#include <cstdint>

int wmain() {
  volatile const std::uintptr_t address = 8;
  return *reinterpret_cast<const volatile int*>(address);
}
