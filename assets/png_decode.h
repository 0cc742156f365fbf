// PNG decoding for the pictures the programs carry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/image.h"

namespace velmo::assets {

// Largest width or height accepted: far above any picture the programs carry, and low
// enough that a forged header cannot make the decoder ask for gigabytes.
constexpr int maxPictureSide = 4096;

// Decodes a whole PNG file held in memory into 8-bit RGBA rows, whatever its colour type
// and depth (palette, grey and 16-bit samples are converted, a missing alpha channel
// becomes opaque, tRNS becomes alpha). False, with `out` emptied, for anything that is not
// a complete, valid PNG of at most maxPictureSide pixels a side; never reads outside the
// given bytes.
bool decodePng(const std::uint8_t* data, std::size_t size, ui::Image& out);

}  // namespace velmo::assets
