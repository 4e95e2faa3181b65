# Resources built into the plug-in.
#
# The built-in bank: tools/bankc compiles the text source in resources/bank/
# into a bank file at build time (rejecting unknown parameter names and values
# outside their range), and the file is compiled into the frame as the resource
# "PROGINIT" of type "PROGDATA". Synth::LoadStartupBank registers and reads it.
#
# The compiler runs on the build machine. A cross build takes it from
# HALVANE_BANKC (e.g. the Linux build's) or builds it natively first in
# host-tools/ of its build folder.

set(HALVANE_BANKC "" CACHE FILEPATH "Native bank compiler for cross builds (built when empty)")

if(NOT CMAKE_CROSSCOMPILING)
    add_executable(halvane-bankc
        ${CMAKE_SOURCE_DIR}/tools/bankc/BankSource.cpp
        ${CMAKE_SOURCE_DIR}/tools/bankc/BankcMain.cpp)
    target_include_directories(halvane-bankc PRIVATE ${CMAKE_SOURCE_DIR})
    # Only the parameter table is used; the linker takes nothing else from the library.
    target_link_libraries(halvane-bankc PRIVATE halvane_dsp)
    halvane_warnings(halvane-bankc)
    set(bankc halvane-bankc)
    set(bankc_depends halvane-bankc)
elseif(HALVANE_BANKC)
    set(bankc ${HALVANE_BANKC})
    set(bankc_depends ${HALVANE_BANKC})
else()
    include(ExternalProject)
    set(host_tools ${CMAKE_BINARY_DIR}/host-tools)
    # A plain native configure: the cross toolchain must not leak into it.
    ExternalProject_Add(halvane_host_tools
        SOURCE_DIR ${CMAKE_SOURCE_DIR}
        BINARY_DIR ${host_tools}
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVANE_BUILD_TESTS=OFF
                   -DHALVANE_BUILD_BENCH=OFF -DHALVANE_WERROR=OFF
        BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_tools} --target halvane-bankc
        INSTALL_COMMAND ""
        BUILD_BYPRODUCTS ${host_tools}/halvane-bankc
        BUILD_ALWAYS ON)
    set(bankc ${host_tools}/halvane-bankc)
    set(bankc_depends halvane_host_tools)
endif()

set(HALVANE_BANK_SOURCE ${CMAKE_SOURCE_DIR}/resources/bank/halvane_bank.txt)
set(HALVANE_BANK_FILE ${CMAKE_BINARY_DIR}/generated/halvane_bank.fxb)
add_custom_command(
    OUTPUT ${HALVANE_BANK_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND ${bankc} ${HALVANE_BANK_SOURCE} ${HALVANE_BANK_FILE}
    DEPENDS ${bankc_depends} ${HALVANE_BANK_SOURCE}
    COMMENT "Compiling the built-in bank"
    VERBATIM)

halvane_resources(halvane_frame FUNCTION RegisterBankResources
    RESOURCES PROGINIT PROGDATA ${HALVANE_BANK_FILE})
