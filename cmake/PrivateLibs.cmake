# libpng and zlib, linked statically into the plug-in so a host that loads
# other versions of them is not disturbed; the version script and
# --exclude-libs (Linux) or the definition file (Windows) keep every one of
# their symbols out of the export table.
#
#   halvane::png   static libpng (needs zlib)
#   halvane::zlib  static zlib
#   halvane::stb_truetype  the header-only font renderer (Debian's libstb-dev);
#                  graphics/LICE_CachedFont.cpp compiles it with internal linkage

if(WIN32)
    # Debian has no mingw build of libpng: the vendored release, compiled with
    # the cross toolchain. zlib is libz-mingw-w64-dev's static archive, never
    # its import library: the DLL must not need a zlib1.dll beside it.
    find_library(HALVANE_ZLIB_ARCHIVE NAMES libz.a REQUIRED)
    find_path(HALVANE_ZLIB_INCLUDE zlib.h REQUIRED)
    add_library(halvane::zlib STATIC IMPORTED GLOBAL)
    set_target_properties(halvane::zlib PROPERTIES
        IMPORTED_LOCATION ${HALVANE_ZLIB_ARCHIVE}
        INTERFACE_INCLUDE_DIRECTORIES ${HALVANE_ZLIB_INCLUDE})
    add_subdirectory(${CMAKE_SOURCE_DIR}/third_party/libpng
        ${CMAKE_BINARY_DIR}/third_party/libpng EXCLUDE_FROM_ALL)
    add_library(halvane::png ALIAS halvane_png)
else()
    find_path(HALVANE_PNG_INCLUDE png.h PATH_SUFFIXES libpng16 REQUIRED)
    find_library(HALVANE_PNG_ARCHIVE NAMES libpng16.a libpng.a REQUIRED)
    find_library(HALVANE_ZLIB_ARCHIVE NAMES libz.a REQUIRED)

    # The Debian archive is compiled as position-independent executable code:
    # it reaches stderr through a PC-relative relocation that a shared library
    # cannot hold. A copy with that reference renamed to halvane_libpng_stderr
    # (defined in graphics/PngDecoder.cpp) links cleanly and leaves the rest
    # untouched.
    set(private_png ${CMAKE_BINARY_DIR}/private/libpng_private.a)
    add_custom_command(
        OUTPUT ${private_png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/private
        COMMAND ${CMAKE_OBJCOPY} --redefine-sym stderr=halvane_libpng_stderr
                ${HALVANE_PNG_ARCHIVE} ${private_png}
        DEPENDS ${HALVANE_PNG_ARCHIVE}
        COMMENT "Preparing the private copy of libpng"
        VERBATIM)
    add_custom_target(halvane_png_archive DEPENDS ${private_png})

    add_library(halvane::zlib STATIC IMPORTED GLOBAL)
    set_target_properties(halvane::zlib PROPERTIES IMPORTED_LOCATION ${HALVANE_ZLIB_ARCHIVE})

    add_library(halvane::png STATIC IMPORTED GLOBAL)
    set_target_properties(halvane::png PROPERTIES
        IMPORTED_LOCATION ${private_png}
        INTERFACE_INCLUDE_DIRECTORIES ${HALVANE_PNG_INCLUDE}
        INTERFACE_LINK_LIBRARIES "halvane::zlib;m")
    add_dependencies(halvane::png halvane_png_archive)
endif()

# Found by its folder rather than through the compiler's default paths (and
# outside a cross toolchain's root), so a cross build (mingw) uses the same
# header-only copy.
find_path(HALVANE_STB_INCLUDE stb_truetype.h PATHS /usr/include/stb
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(halvane::stb_truetype INTERFACE IMPORTED GLOBAL)
set_target_properties(halvane::stb_truetype PROPERTIES
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${HALVANE_STB_INCLUDE}
    INTERFACE_INCLUDE_DIRECTORIES ${HALVANE_STB_INCLUDE})
