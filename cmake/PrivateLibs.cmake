# libpng and zlib, linked statically into the plug-in so a host that loads
# other versions of them is not disturbed; the version script and
# --exclude-libs keep every one of their symbols out of the export table.
#
#   halvane::png   static libpng (needs zlib)
#   halvane::zlib  static zlib

find_path(HALVANE_PNG_INCLUDE png.h PATH_SUFFIXES libpng16 REQUIRED)
find_library(HALVANE_PNG_ARCHIVE NAMES libpng16.a libpng.a REQUIRED)
find_library(HALVANE_ZLIB_ARCHIVE NAMES libz.a REQUIRED)

# The Debian archive is compiled as position-independent executable code: it
# reaches stderr through a PC-relative relocation that a shared library cannot
# hold. A copy with that reference renamed to halvane_libpng_stderr (defined in
# graphics/PngDecoder.cpp) links cleanly and leaves the rest untouched.
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
