# cmake -DIN=file -DOUT=file.cpp -DSYMBOL=name -P Embed.cmake
# Writes a C++ source holding the bytes of IN as a constant array.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Break the single line into rows so compilers and editors stay comfortable.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}" "// Generated from ${IN}; do not edit.\n#include <cstddef>\n\n")
file(APPEND "${OUT}" "namespace halvane {\n\n")
file(APPEND "${OUT}" "extern const unsigned char ${SYMBOL}[];\n")
file(APPEND "${OUT}" "extern const std::size_t ${SYMBOL}_size;\n")
file(APPEND "${OUT}" "const unsigned char ${SYMBOL}[] = {\n${bytes}0};\n")
file(APPEND "${OUT}" "const std::size_t ${SYMBOL}_size = ${size};\n")
file(APPEND "${OUT}" "\n} // namespace halvane\n")
