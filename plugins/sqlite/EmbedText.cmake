# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P EmbedText.cmake
# Writes a source defining `const unsigned char SYMBOL[]` (the file's bytes, with a
# NUL appended) and `const unsigned long SYMBOLSize` (the byte count without
# the NUL). Bytes are written as numbers, so any content embeds unchanged.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
set(body "")
set(offset 0)
while(offset LESS hex_length)
  # Sixteen bytes a line.
  string(SUBSTRING "${hex}" ${offset} 32 chunk)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," chunk "${chunk}")
  string(APPEND body "  ${chunk}\n")
  math(EXPR offset "${offset} + 32")
endwhile()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by EmbedText.cmake; do not edit.\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const unsigned long ${SYMBOL}Size;\n"
  "const unsigned char ${SYMBOL}[] = {\n${body}  0x00};\n"
  "const unsigned long ${SYMBOL}Size = ${size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
