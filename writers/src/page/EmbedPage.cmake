# cmake -DSCRIPT=page.js -DSTYLE=page.css -DOUTPUT=PageAssets.cpp -P EmbedPage.cmake
# Writes the source of the documentation page's script and style sheet
# (PageAssets.h): each file's bytes, and the SHA-256 of each in base64 as
# the page's Content-Security-Policy names it, so that the browser runs
# that script and applies that style sheet and nothing else.

# Base64 of the bytes given as hexadecimal digits.
function(hex_to_base64 hex out)
  set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  string(LENGTH "${hex}" length)
  set(result "")
  set(offset 0)
  while(offset LESS length)
    string(SUBSTRING "${hex}" ${offset} 6 chunk)
    string(LENGTH "${chunk}" digits)
    math(EXPR bytes "${digits} / 2")
    while(digits LESS 6)
      string(APPEND chunk "00")
      math(EXPR digits "${digits} + 2")
    endwhile()
    math(EXPR value "0x${chunk}")
    foreach(shift 18 12 6 0)
      math(EXPR index "(${value} >> ${shift}) & 63")
      string(SUBSTRING "${alphabet}" ${index} 1 letter)
      string(APPEND result "${letter}")
    endforeach()
    # A last group of one or two bytes gives two or three letters and
    # is padded with '='.
    if(bytes LESS 3)
      math(EXPR padding "3 - ${bytes}")
      string(LENGTH "${result}" kept)
      math(EXPR kept "${kept} - ${padding}")
      string(SUBSTRING "${result}" 0 ${kept} result)
      string(REPEAT "=" ${padding} pad)
      string(APPEND result "${pad}")
    endif()
    math(EXPR offset "${offset} + 6")
  endwhile()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# The file's bytes as a C array body, and their SHA-256 in base64.
function(embed file bytes_out hash_out size_out)
  file(READ "${file}" hex HEX)
  file(SHA256 "${file}" digest)
  hex_to_base64("${digest}" hash)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
  set(${bytes_out} "${body}" PARENT_SCOPE)
  set(${hash_out} "${hash}" PARENT_SCOPE)
  set(${size_out} "${size}" PARENT_SCOPE)
endfunction()

embed("${SCRIPT}" script_bytes script_hash script_size)
embed("${STYLE}" style_bytes style_hash style_size)
file(WRITE "${OUTPUT}.tmp"
  "// Generated from page.js and page.css by EmbedPage.cmake; do not edit.\n"
  "#include \"PageAssets.h\"\n\n"
  "namespace writers {\n\n"
  "namespace {\n"
  "const char kScript[] = {${script_bytes} 0};\n"
  "const char kStyle[] = {${style_bytes} 0};\n"
  "}  // namespace\n\n"
  "const std::string_view kPageScript(kScript, ${script_size});\n"
  "const std::string_view kPageScriptHash = \"sha256-${script_hash}\";\n"
  "const std::string_view kPageStyle(kStyle, ${style_size});\n"
  "const std::string_view kPageStyleHash = \"sha256-${style_hash}\";\n\n"
  "}  // namespace writers\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
