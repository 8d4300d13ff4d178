# Writes a binary file as a C++ byte array:
#   cmake -DINPUT=file.bin -DOUTPUT=file.cpp -DNAME=symbol -P embed.cmake
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT} "// Made by the build from ${INPUT}.\n#include <cstdint>\n"
  "extern const uint8_t ${NAME}[] = {${bytes}};\nextern const uint32_t ${NAME}_size = ${size};\n")
