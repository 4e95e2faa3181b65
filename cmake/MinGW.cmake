# Shared part of the mingw-w64 toolchain files; HALVANE_MINGW_TRIPLE names the
# target (x86_64-w64-mingw32 or i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The posix-thread variants: std::recursive_mutex, std::thread and friends
# exist there, and not in the win32-thread variants.
set(CMAKE_C_COMPILER ${HALVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HALVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HALVANE_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${HALVANE_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${HALVANE_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${HALVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static, winpthread included: the DLL and the test programs must
# run with nothing beside them but Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run under wine, unless the caller names another runner.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(HALVANE_WINE NAMES ${HALVANE_WINE_NAMES} PATHS /usr/lib/wine NO_DEFAULT_PATH)
    if(HALVANE_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${HALVANE_WINE})
    endif()
endif()
