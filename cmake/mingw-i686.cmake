# Cross build for 32-bit Windows with mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SKEIND_MINGW_PREFIX i686-w64-mingw32)

set(CMAKE_C_COMPILER   ${SKEIND_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SKEIND_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${SKEIND_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SKEIND_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Running needs Wine's 32-bit half, which is not installed by default; this
# build is a compile-and-link check unless SKEIND_RUN_TESTS is set.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
