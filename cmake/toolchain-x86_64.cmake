# Cross build for 64-bit Windows: the test vehicle, run under wine64.
# The posix thread model: GoogleTest needs std::mutex.  The library itself
# uses Win32 threads only; the i686 build (win32 model) keeps it honest.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(COMPILER_SUFFIX "-posix")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
