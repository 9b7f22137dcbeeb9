# Cross build for 64-bit Windows; ctest runs the test programs through Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SKEIND_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
