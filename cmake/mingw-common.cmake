# Shared by the two mingw-w64 toolchain files, which set SKEIND_MINGW_PREFIX.
# The posix thread model: the win32 one lacks std::mutex, which GoogleTest
# needs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${SKEIND_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SKEIND_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${SKEIND_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SKEIND_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
