# Writes OUTPUT, a C++ source that holds the files FILES (names in BASE,
# joined by "|") as string views: vaxo::EmbeddedFiles() lists them by name.
# Run at build time: cmake -DBASE=... -DOUTPUT=... -DFILES="a|b" -P EmbedFiles.cmake
string(REPLACE "|" ";" FILES "${FILES}")
set(entries "")
set(arrays "")
set(index 0)
foreach(name ${FILES})
    file(READ ${BASE}/${name} bytes HEX)
    string(LENGTH "${bytes}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
    string(APPEND arrays "const char kFile${index}[] = {${bytes} 0};\n")
    string(APPEND entries "        {\"${name}\", std::string_view(kFile${index}, ${size})},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Made by cmake/EmbedFiles.cmake from ${BASE}; not to be edited.
#include <map>
#include <string_view>

namespace vaxo {
namespace {

${arrays}
}  // namespace

const std::map<std::string_view, std::string_view>& EmbeddedFiles() {
    static const std::map<std::string_view, std::string_view> files{
${entries}    };
    return files;
}

}  // namespace vaxo
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
