// Included first in every file of the Windows build (CMakeLists.txt).
//
// The standard library declares its std::string members as instantiated
// inside the library, so every call goes to the library's copy: one object
// file of about 33 KB, compiled with exceptions, with its unwind tables and
// the unwinder they need. Without those declarations the compiler makes
// the members this program uses itself, as it does for every other
// template: small, without exceptions, and only what is called.
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
