# Turns a file into a C++ byte array, run at build time as
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DNAMESPACE=Name -DSYMBOL=kName -P embed_file.cmake
# The array is SYMBOL (const uint8_t[]) and its length SYMBOL##Size (size_t), in NAMESPACE.
foreach(required INPUT OUTPUT NAMESPACE SYMBOL)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "embed_file.cmake needs -D${required}=...")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
if(hex_length EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
# Sixteen bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n  " bytes "${bytes}")
get_filename_component(input_name "${INPUT}" NAME)

set(text "// Made at build time from ${input_name} by cmake/embed_file.cmake; edit the file, not this.\n")
string(APPEND text "#include <cstddef>\n#include <cstdint>\n\nnamespace ${NAMESPACE} {\n\n")
string(APPEND text "extern const uint8_t ${SYMBOL}[] = {\n  ${bytes}\n};\n")
string(APPEND text "extern const size_t ${SYMBOL}Size = sizeof ${SYMBOL};\n\n}  // namespace ${NAMESPACE}\n")

# Rewritten only when it changes, so an unchanged file costs no recompilation.
set(previous "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
endif()
if(NOT previous STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
