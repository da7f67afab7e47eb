// The exe is built without exceptions (CMakeLists.txt): an error inside the
// standard library ends the program, as an exception nothing catches would.
// These stand in for the C++ runtime's own definitions of the functions the
// library calls then. Its own ones build exception objects and its terminate
// handler prints the exception's demangled type: that links every standard
// exception class with its strings, a symbol demangler and printf, over
// 100 KB, for a message on a console a windowed program does not have.
#include <bits/functexcept.h>
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_exception() { abort(); }
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }
}  // namespace std
