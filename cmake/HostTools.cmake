include_guard(GLOBAL)
# Build-time tools (the bank compiler, the artwork generator) run on the build
# machine. A native build makes them itself. A cross build takes each from a
# cache variable naming a native binary (HALVANE_BANKC, HALVANE_ARTWORK: e.g.
# the Linux build's), or else builds them natively first in host-tools/ of its
# build folder.

set(HALVANE_BANKC "" CACHE FILEPATH "Native bank compiler for cross builds (built when empty)")
set(HALVANE_ARTWORK "" CACHE FILEPATH "Native artwork generator for cross builds (built when empty)")

# halvane_host_tool(<target> <cache variable>) sets <target>_COMMAND, the
# program to run, and <target>_DEPENDS, what a custom command depends on.
function(halvane_host_tool target variable)
    if(NOT CMAKE_CROSSCOMPILING)
        set(command ${target})
        set(depends ${target})
    elseif(${variable})
        set(command ${${variable}})
        set(depends ${${variable}})
    else()
        set(host_tools ${CMAKE_BINARY_DIR}/host-tools)
        if(NOT TARGET halvane_host_tools)
            include(ExternalProject)
            # A plain native configure: the cross toolchain must not leak into it.
            # Both tools are built together; each is quick once the other is.
            ExternalProject_Add(halvane_host_tools
                SOURCE_DIR ${CMAKE_SOURCE_DIR}
                BINARY_DIR ${host_tools}
                CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVANE_BUILD_TESTS=OFF
                           -DHALVANE_BUILD_BENCH=OFF -DHALVANE_WERROR=OFF
                BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_tools}
                              --target halvane-bankc halvane-artwork
                INSTALL_COMMAND ""
                BUILD_BYPRODUCTS ${host_tools}/halvane-bankc ${host_tools}/halvane-artwork
                BUILD_ALWAYS ON)
        endif()
        set(command ${host_tools}/${target})
        set(depends halvane_host_tools)
    endif()
    set(${target}_COMMAND ${command} PARENT_SCOPE)
    set(${target}_DEPENDS ${depends} PARENT_SCOPE)
endfunction()
