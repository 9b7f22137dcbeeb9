# Cross build for 32-bit Windows. Running needs Wine's 32-bit half, which is
# not installed by default, so this build is a compile-and-link check.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SKEIND_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
