# Script mode (cmake -P): writes OUTPUT, a C++ source holding the bytes of INPUT as
# velmo::assets::embedded::SYMBOL and its length as SYMBOL_size.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# 0x.. for every byte, 16 bytes to a line
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 sixteen)  # CMake's regex has no {n}
string(REGEX REPLACE "(${sixteen})" "\\1\n    " bytes "${bytes}")
if(size EQUAL 0)
  set(bytes "0")  # an array cannot be empty; the size still says 0
endif()
get_filename_component(source_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${source_name} by velmo_embed_pictures; do not edit.
#include <cstddef>
#include <cstdint>

namespace velmo::assets::embedded {
extern const std::uint8_t ${SYMBOL}[];
extern const std::size_t ${SYMBOL}_size;
alignas(8) const std::uint8_t ${SYMBOL}[] = {
    ${bytes}
};
const std::size_t ${SYMBOL}_size = ${size};
}  // namespace velmo::assets::embedded
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
