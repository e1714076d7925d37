# CMake toolchain for 64-bit Windows with Debian's mingw-w64 cross compilers (g++-mingw-w64-x86-64); used
# by tools/build-windows for SDL 2, sdl12-compat and the game alike.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GLIMTRA_MINGW x86_64-w64-mingw32)
# The win32 thread model: the game and SDL use Windows' own threads, so no winpthread DLL has to ship.
set(CMAKE_C_COMPILER ${GLIMTRA_MINGW}-gcc-win32)
set(CMAKE_CXX_COMPILER ${GLIMTRA_MINGW}-g++-win32)
set(CMAKE_RC_COMPILER ${GLIMTRA_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GLIMTRA_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
