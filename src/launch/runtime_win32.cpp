// The launcher's own ends for the C++ runtime's error paths. The launch logic
// throws nothing and is built without exceptions; what remains are the
// standard library's reports of a failed allocation or an impossible string
// length. Defining them here ends the process as an uncaught exception would
// (std::abort), without linking the runtime's exception classes, its
// std::string instances and its demangling terminate handler, which would
// otherwise more than triple the launcher's code and data.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
}  // namespace std
