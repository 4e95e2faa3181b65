# Resources built into the plug-in.
#
# The built-in bank: tools/bankc compiles the text source in resources/bank/
# into a bank file at build time (rejecting unknown parameter names and values
# outside their range), and the file is compiled into the frame as the resource
# "PROGINIT" of type "PROGDATA". Synth::LoadStartupBank registers and reads it.
#
# The compiler runs on the build machine (cmake/HostTools.cmake: a cross build
# takes it from HALVANE_BANKC or builds it natively first).

if(NOT CMAKE_CROSSCOMPILING)
    add_executable(halvane-bankc
        ${CMAKE_SOURCE_DIR}/tools/bankc/BankSource.cpp
        ${CMAKE_SOURCE_DIR}/tools/bankc/BankcMain.cpp)
    target_include_directories(halvane-bankc PRIVATE ${CMAKE_SOURCE_DIR})
    # Only the parameter table is used; the linker takes nothing else from the library.
    target_link_libraries(halvane-bankc PRIVATE halvane_dsp)
    halvane_warnings(halvane-bankc)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/HostTools.cmake)
halvane_host_tool(halvane-bankc HALVANE_BANKC)

set(HALVANE_BANK_SOURCE ${CMAKE_SOURCE_DIR}/resources/bank/halvane_bank.txt)
set(HALVANE_BANK_FILE ${CMAKE_BINARY_DIR}/generated/halvane_bank.fxb)
add_custom_command(
    OUTPUT ${HALVANE_BANK_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND ${halvane-bankc_COMMAND} ${HALVANE_BANK_SOURCE} ${HALVANE_BANK_FILE}
    DEPENDS ${halvane-bankc_DEPENDS} ${HALVANE_BANK_SOURCE}
    COMMENT "Compiling the built-in bank"
    VERBATIM)

halvane_resources(halvane_frame FUNCTION RegisterBankResources
    RESOURCES PROGINIT PROGDATA ${HALVANE_BANK_FILE})
