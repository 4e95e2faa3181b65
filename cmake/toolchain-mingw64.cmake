# 64-bit Windows (x86-64) with mingw-w64:
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
set(HALVANE_MINGW_TRIPLE x86_64-w64-mingw32)
# Debian's /usr/bin/wine starts the 32-bit loader whenever wine32 is installed.
set(HALVANE_WINE_NAMES wine64)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
