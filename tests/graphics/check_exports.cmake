# cmake -DLIBRARY=path -DNM=nm -DREADELF=readelf -P check_exports.cmake
# Fails unless the library exports only VSTPluginMain and main (the plug-in
# both, the probe the first) and needs neither libpng nor zlib from the system: every
# symbol of the libraries linked into it stays private, so a host that loads
# other versions of them is not disturbed.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-f]+ [A-Za-z] [^\n]+" lines "${symbols}")
set(exported)
foreach(line ${lines})
    string(REGEX REPLACE "^[0-9a-f]+ ([A-Za-z]) (.+)$" "\\1;\\2" parts "${line}")
    list(GET parts 0 kind)
    list(GET parts 1 name)
    if(NOT kind STREQUAL "w")
        list(APPEND exported ${name})
    endif()
endforeach()
list(SORT exported)
if(NOT exported STREQUAL "VSTPluginMain;main" AND NOT exported STREQUAL "VSTPluginMain")
    message(FATAL_ERROR "${LIBRARY} exports: ${exported}")
endif()
execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dynamic)
if(dynamic MATCHES "libpng|libz\\.so")
    message(FATAL_ERROR "${LIBRARY} loads libpng or zlib from the system")
endif()
message(STATUS "${LIBRARY}: exports ${exported}")
