# Turns a file into a C++ array: its byte count as 32-bit little-endian, then its bytes.
# Usage: cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=Name -DHEADER=name.h -P embed.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
math(EXPR prefix "${size}" OUTPUT_FORMAT HEXADECIMAL)
string(REGEX REPLACE "^0x" "" prefix "${prefix}")
string(LENGTH "${prefix}" prefix_digits)
while(prefix_digits LESS 8)
  string(PREPEND prefix "0")
  math(EXPR prefix_digits "${prefix_digits} + 1")
endwhile()
string(SUBSTRING "${prefix}" 6 2 b0)
string(SUBSTRING "${prefix}" 4 2 b1)
string(SUBSTRING "${prefix}" 2 2 b2)
string(SUBSTRING "${prefix}" 0 2 b3)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" body "${body}")
file(WRITE "${OUTPUT}"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "alignas(4) extern const unsigned char ${SYMBOL}[] = {\n"
  "0x${b0},0x${b1},0x${b2},0x${b3},\n${body}\n};\n")
