# Shared build helpers for the Halvane tree.

find_package(Threads REQUIRED)

set(HALVANE_VST_DIR "$ENV{HOME}/.vst" CACHE PATH
    "Folder the install target puts halvane64.so in (where Linux VST 2.4 hosts look)")

set(HALVANE_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wcast-align -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)

if(HALVANE_SANITIZE)
    # The product code is instrumented; test programs only link the runtime. That
    # keeps the sanitizer build quick: the tests' own assertions need no checking,
    # everything they drive does.
    set(HALVANE_SANITIZE_FLAGS -O1 -fsanitize=address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(HALVANE_TSAN)
    # ThreadSanitizer for the tests that run the editor, the host and the audio
    # thread together; like the build above, it instruments the product code.
    set(HALVANE_SANITIZE_FLAGS -O1 -g -fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# Warnings for test programs; third-party code never goes through here.
function(halvane_test_warnings target)
    target_compile_options(${target} PRIVATE ${HALVANE_WARNING_FLAGS})
    if(HALVANE_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Warnings, and the sanitizers when asked for, for a target of the product.
function(halvane_warnings target)
    halvane_test_warnings(${target})
    if(HALVANE_SANITIZE OR HALVANE_TSAN)
        target_compile_options(${target} PRIVATE ${HALVANE_SANITIZE_FLAGS})
    endif()
endfunction()

# halvane_module(name folder...): a static library of every .cpp directly in the
# given folders. A module whose folders hold no sources yet is an interface
# library, so the tree builds at every stage.
# Files listed in HALVANE_SHARED_TYPES belong to halvane_types alone, those in
# HALVANE_EDITOR_OBJECT to the frame (added there explicitly).
function(halvane_module name)
    set(sources)
    foreach(folder ${ARGN})
        file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
        list(APPEND sources ${found})
    endforeach()
    foreach(shared ${HALVANE_SHARED_TYPES} ${HALVANE_EDITOR_OBJECT})
        list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${shared})
    endforeach()
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
        halvane_warnings(${name})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    endif()
endfunction()

# halvane_embed(target symbol file): compiles a file's bytes into the target as
#   extern const unsigned char halvane::<symbol>[];
#   extern const std::size_t halvane::<symbol>_size;
# so resources travel inside the library and nothing is read from disk at run time.
function(halvane_embed target symbol file)
    set(out ${CMAKE_BINARY_DIR}/embedded/${symbol}.cpp)
    add_custom_command(
        OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${out} -DSYMBOL=${symbol}
                -P ${CMAKE_SOURCE_DIR}/cmake/Embed.cmake
        DEPENDS ${file} ${CMAKE_SOURCE_DIR}/cmake/Embed.cmake
        COMMENT "Embedding ${symbol}"
        VERBATIM)
    target_sources(${target} PRIVATE ${out})
endfunction()

# halvane_resources(target FUNCTION <function> RESOURCES <name-or-id> <type> <file> ...):
# embeds each file into the target (as halvane_embed does) and generates
#   void halvane::<function>();
# which registers every one of them with the resource registry of
# platform/Resources.h, by numeric id when the name is a decimal number
# (0 to 65535), else by name. Names and types are letters, digits and '_'.
# The target must link halvane_platform and be created in the calling
# directory (the generated sources are outputs of custom commands).
# Call <function>() once before the first lookup: unlike a static registration
# object, an explicit call keeps the table from being dropped by the linker
# when the target is a static library.
#
# Windows builds put the files into a resource script instead, compiled by
# windres into the module itself, where FindResource finds them through the
# system's resource functions; <function>() then has nothing to register. The
# script is listed in the global property HALVANE_RESOURCE_SCRIPTS: a
# resource object in a static library is never linked, so the module target
# (the DLL, a test program) adds the scripts to its own sources.
function(halvane_resources target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "FUNCTION" "RESOURCES")
    if(NOT ARG_FUNCTION MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
        message(FATAL_ERROR "halvane_resources: FUNCTION must name a C++ function")
    endif()
    set(script "")
    set(script_depends "")
    list(LENGTH ARG_RESOURCES count)
    math(EXPR leftover "${count} % 3")
    if(count EQUAL 0 OR NOT leftover EQUAL 0)
        message(FATAL_ERROR "halvane_resources: RESOURCES takes triples: name-or-id type file")
    endif()
    math(EXPR last "${count} / 3 - 1")
    set(declarations "")
    set(calls "")
    foreach(index RANGE ${last})
        math(EXPR at "${index} * 3")
        list(GET ARG_RESOURCES ${at} name)
        math(EXPR at "${at} + 1")
        list(GET ARG_RESOURCES ${at} type)
        math(EXPR at "${at} + 1")
        list(GET ARG_RESOURCES ${at} file)
        if(NOT name MATCHES "^[A-Za-z0-9_]+$" OR NOT type MATCHES "^[A-Za-z0-9_]+$")
            message(FATAL_ERROR "halvane_resources: bad resource name or type '${name}' '${type}'")
        endif()
        if(name MATCHES "^[0-9]+$")
            if(NOT name MATCHES "^(0|[1-9][0-9]*)$" OR name GREATER 65535)
                message(FATAL_ERROR "halvane_resources: resource id ${name} is not 0 to 65535")
            endif()
        endif()
        get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        if(WIN32)
            string(APPEND script "${name} ${type} \"${file}\"\n")
            list(APPEND script_depends "${file}")
            continue()
        endif()
        set(symbol "${ARG_FUNCTION}_${index}")
        halvane_embed(${target} ${symbol} "${file}")
        string(APPEND declarations "extern const unsigned char ${symbol}[];\n"
                                   "extern const std::size_t ${symbol}_size;\n")
        if(name MATCHES "^[0-9]+$")
            string(APPEND calls "    RegisterResource(${name}, \"${type}\", ${symbol}, ${symbol}_size);\n")
        else()
            string(APPEND calls "    RegisterResource(\"${name}\", \"${type}\", ${symbol}, ${symbol}_size);\n")
        endif()
    endforeach()
    if(WIN32)
        set(rc ${CMAKE_BINARY_DIR}/embedded/${ARG_FUNCTION}.rc)
        file(CONFIGURE OUTPUT ${rc} CONTENT "// Generated by halvane_resources(); do not edit.\n${script}" @ONLY)
        set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${script_depends}")
        set_property(GLOBAL APPEND PROPERTY HALVANE_RESOURCE_SCRIPTS ${rc})
    endif()
    set(out ${CMAKE_BINARY_DIR}/embedded/${ARG_FUNCTION}.cpp)
    set(content "// Generated by halvane_resources(); do not edit.\n#include <cstddef>\n\n")
    string(APPEND content "#include \"platform/Resources.h\"\n\nnamespace halvane {\n\n${declarations}\n")
    string(APPEND content "void ${ARG_FUNCTION}();\n\nvoid ${ARG_FUNCTION}() {\n${calls}}\n")
    string(APPEND content "\n} // namespace halvane\n")
    # Rewritten only when the table changes, so a reconfigure rebuilds nothing.
    file(CONFIGURE OUTPUT ${out} CONTENT "${content}" @ONLY)
    target_sources(${target} PRIVATE ${out})
endfunction()
