# As mingw-i686.cmake, with MinGW's posix-thread compilers: the feed
# service's core needs C++ threads (std::thread, std::mutex, std::future),
# which the default win32-thread compilers of Debian 12 do not provide.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
