# Writes a C++ source holding resource files as data and the exported table
# zub_module_resources that the platform layer's FindResource reads.
# -DOUTPUT=file.cpp -DENTRIES=TYPE|ID|FILE@@TYPE|ID|FILE...
string(REPLACE "@@" ";" entries "${ENTRIES}")
set(arrays "")
set(rows "")
set(n 0)
foreach(entry IN LISTS entries)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 type)
  list(GET parts 1 id)
  list(GET parts 2 file)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" hexlen)
  math(EXPR size "${hexlen} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  # One byte more than the data, so an empty file is still an array.
  string(APPEND arrays "const unsigned char kData${n}[] = {\n${bytes}0x00};\n")
  string(APPEND rows "        {\"${type}\", ${id}u, kData${n}, ${size}u},\n")
  math(EXPR n "${n} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated from resource files; do not edit.
#include <cstddef>
#include <cstdint>

namespace {
${arrays}}  // namespace

extern \"C\" {
struct ZubResourceEntry {
    const char* type;
    std::uint32_t id;
    const unsigned char* data;
    std::size_t size;
};

__attribute__((visibility(\"default\"))) const ZubResourceEntry* zub_module_resources(std::size_t* count);

const ZubResourceEntry* zub_module_resources(std::size_t* count) {
    static const ZubResourceEntry kTable[] = {
${rows}    };
    *count = sizeof kTable / sizeof kTable[0];
    return kTable;
}
}
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.tmp" "${OUTPUT}")
file(REMOVE "${OUTPUT}.tmp")
