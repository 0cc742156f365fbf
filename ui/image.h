#pragma once

#include <cstdint>
#include <vector>

namespace velmo::ui {

// A decoded picture: width x height pixels, 4 bytes each (R, G, B, A), rows top to bottom.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
};

}  // namespace velmo::ui
