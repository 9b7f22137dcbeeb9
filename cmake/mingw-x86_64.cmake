# Cross build for 64-bit Windows with mingw-w64 (posix thread model: the
# win32 model lacks std::mutex, which GoogleTest needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SKEIND_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${SKEIND_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SKEIND_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${SKEIND_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SKEIND_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs the test programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
