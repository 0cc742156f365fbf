// The PNG files built into the running program (see velmo_embed_pictures in
// assets/embed_pictures.cmake). The table is generated per program, so each program
// answers only for its own pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "assets/png_decode.h"
#include "ui/image.h"

namespace velmo::assets {

// The bytes of the picture named like its file without ".png" ("quit_16"); empty when
// this program carries no such picture.
std::span<const std::uint8_t> embeddedPicture(const char* name);

// The names of all pictures carried by this program, in the order they were embedded.
std::vector<std::string> embeddedPictureNames();

// Decodes an embedded picture into RGBA rows; false (and an empty image) when the program
// does not carry it or it does not decode.
inline bool loadEmbeddedPicture(const char* name, ui::Image& out) {
    std::span<const std::uint8_t> bytes = embeddedPicture(name);
    if (bytes.empty()) {
        out = ui::Image{};
        return false;
    }
    return decodePng(bytes.data(), bytes.size(), out);
}

}  // namespace velmo::assets
