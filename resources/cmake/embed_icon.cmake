# Writes a C++ source that holds PNG files as byte arrays and returns them as
# the application icon's images.
#   cmake -DOUTPUT=<file.cpp> -DSIZES=16,24,... -DPNG_DIR=<dir> -P embed_icon.cmake
# The images are read from <PNG_DIR>/icon-<size>.png.
set(body "// Generated at build time from the rendered application icon.\n")
string(APPEND body "#include \"resources/program_icon.h\"\n\n#include <cstdint>\n\nnamespace {\n")
set(list "")
string(REPLACE "," ";" SIZES "${SIZES}")
foreach(size IN LISTS SIZES)
  file(READ ${PNG_DIR}/icon-${size}.png hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
  string(APPEND body "const std::uint8_t icon_${size}[] = {\n${bytes}};\n")
  string(APPEND list "        {${size}, icon_${size}},\n")
endforeach()
string(APPEND body "}  // namespace\n\nstd::vector<icon_image> program_icon_images() {\n")
string(APPEND body "    return {\n${list}    };\n}\n")
file(WRITE ${OUTPUT} "${body}")
