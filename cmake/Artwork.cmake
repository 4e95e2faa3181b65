# The editor's pictures. tools/artwork draws every bitmap of the table in
# editor/LayoutTable.h with Cairo at build time; the PNGs are build outputs,
# compiled into the drawing library under their numeric ids (type "PNG") and
# registered by the generated RegisterEditorBitmaps(). Cairo itself is never
# linked into the plug-in.
#
# Also builds halvane-panel, which draws the whole panel offscreen through the
# plug-in's own drawing library (the README's picture).

#
# The generator runs on the build machine: a cross build (Windows) takes it
# from HALVANE_ARTWORK or builds it natively first (cmake/HostTools.cmake), and
# builds neither it nor halvane-panel itself.

# The lettering's bold face: Liberation Sans Bold from fonts-liberation2. Only
# its rendered pixels end up in the plug-in. Searched outside a cross
# toolchain's root: the generator reads it on the build machine.
find_file(HALVANE_LABEL_BOLD_FONT LiberationSans-Bold.ttf
    PATHS /usr/share/fonts/truetype/liberation2 /usr/share/fonts/truetype/liberation
    REQUIRED NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
set(HALVANE_LABEL_REGULAR_FONT ${CMAKE_SOURCE_DIR}/third_party/fonts/LiberationSans-Regular.ttf)
set(artwork_dir ${CMAKE_SOURCE_DIR}/tools/artwork)

if(NOT CMAKE_CROSSCOMPILING)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo freetype2 libpng)
    add_library(halvane_artwork_lib STATIC
        ${artwork_dir}/CairoKit.cpp
        ${artwork_dir}/ControlArt.cpp
        ${artwork_dir}/PanelArt.cpp
        ${artwork_dir}/PanelLettering.cpp)
    target_include_directories(halvane_artwork_lib PUBLIC ${CMAKE_SOURCE_DIR} ${artwork_dir})
    target_link_libraries(halvane_artwork_lib PUBLIC PkgConfig::CAIRO halvane_dsp)
    target_compile_definitions(halvane_artwork_lib PUBLIC
        HALVANE_LABEL_REGULAR_FONT="${HALVANE_LABEL_REGULAR_FONT}"
        HALVANE_LABEL_BOLD_FONT="${HALVANE_LABEL_BOLD_FONT}")
    halvane_warnings(halvane_artwork_lib)

    add_executable(halvane-artwork ${artwork_dir}/ArtworkMain.cpp)
    target_link_libraries(halvane-artwork PRIVATE halvane_artwork_lib)
    halvane_warnings(halvane-artwork)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/HostTools.cmake)
halvane_host_tool(halvane-artwork HALVANE_ARTWORK)

# The bitmap table, read from the layout header itself so there is one list.
file(STRINGS ${CMAKE_SOURCE_DIR}/editor/LayoutTable.h bitmap_rows
    REGEX "^ *{[0-9]+, \"resources/img/[a-z0-9_]+\\.png\"")
set(artwork_out ${CMAKE_BINARY_DIR}/artwork)
set(artwork_pngs)
set(artwork_resources)
foreach(row ${bitmap_rows})
    string(REGEX MATCH "{([0-9]+), \"resources/img/([a-z0-9_]+\\.png)\"" _ "${row}")
    list(APPEND artwork_pngs ${artwork_out}/${CMAKE_MATCH_2})
    list(APPEND artwork_resources ${CMAKE_MATCH_1} PNG ${artwork_out}/${CMAKE_MATCH_2})
endforeach()
list(LENGTH artwork_pngs artwork_count)
if(NOT artwork_count EQUAL 23)
    message(FATAL_ERROR "Artwork: expected 23 bitmaps in editor/LayoutTable.h, found ${artwork_count}")
endif()

add_custom_command(
    OUTPUT ${artwork_pngs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${artwork_out}
    COMMAND ${halvane-artwork_COMMAND} ${HALVANE_LABEL_REGULAR_FONT} ${HALVANE_LABEL_BOLD_FONT}
            ${artwork_out}
    DEPENDS ${halvane-artwork_DEPENDS}
    COMMENT "Drawing the editor's pictures"
    VERBATIM)
halvane_resources(halvane_graphics FUNCTION RegisterEditorBitmaps RESOURCES ${artwork_resources})

if(CMAKE_CROSSCOMPILING)
    return()
endif()
add_library(halvane_panel_render STATIC ${artwork_dir}/PanelRender.cpp)
target_include_directories(halvane_panel_render PUBLIC ${CMAKE_SOURCE_DIR} ${artwork_dir})
target_link_libraries(halvane_panel_render PUBLIC halvane_graphics halvane_dsp)
halvane_warnings(halvane_panel_render)

add_executable(halvane-panel ${artwork_dir}/PanelRenderMain.cpp)
target_link_libraries(halvane-panel PRIVATE halvane_panel_render PkgConfig::CAIRO)
halvane_warnings(halvane-panel)
