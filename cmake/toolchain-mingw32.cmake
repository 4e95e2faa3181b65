# 32-bit Windows (x86) with mingw-w64:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
set(HALVANE_MINGW_TRIPLE i686-w64-mingw32)
set(HALVANE_WINE_NAMES wine)
# SSE2 for double arithmetic, as on x86-64: the x87 unit's 80-bit
# intermediates would make the 32-bit build sound a hair different.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
