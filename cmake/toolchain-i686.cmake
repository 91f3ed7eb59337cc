# Cross build for 32-bit Windows (the product), win32 thread model.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(COMPILER_SUFFIX "")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
