#include "assets/png_decode.h"

#include <png.h>

#include <cstring>
#include <new>
#include <utility>

namespace velmo::assets {

namespace {

// libpng's simplified reader keeps its own setjmp error path: every problem in the data
// (bad signature, CRC, truncated or over-long chunks, inflate errors) comes back as a zero
// result with the message in `image.message`, and the reader never touches memory past
// the buffer it was given.
struct ImageReader {
    png_image image;
    ImageReader() {
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
    }
    ~ImageReader() { png_image_free(&image); }
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;
};

// libpng stops reading once it has the image rows, so a file cut inside its final IEND
// chunk would still be accepted. Walking the chunk layout first refuses any file whose
// chunks do not all lie within the bytes and end with IEND (bytes after IEND are ignored,
// as other readers do).
bool chunksEndWithIend(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 8;
    while (size - at >= 12) {
        const std::uint32_t length = std::uint32_t(data[at]) << 24 | std::uint32_t(data[at + 1]) << 16 |
                                     std::uint32_t(data[at + 2]) << 8 | std::uint32_t(data[at + 3]);
        if (length > size - at - 12) return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at += 12 + std::size_t(length);
    }
    return false;
}

}  // namespace

bool decodePng(const std::uint8_t* data, std::size_t size, ui::Image& out) {
    out = ui::Image{};
    if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0 ||
        !chunksEndWithIend(data, size))
        return false;

    ImageReader reader;
    png_image& image = reader.image;
    if (png_image_begin_read_from_memory(&image, data, size) == 0) return false;
    if (image.width == 0 || image.height == 0 || image.width > unsigned(maxPictureSide) ||
        image.height > unsigned(maxPictureSide))
        return false;

    // Straight (not premultiplied) 8-bit sRGB RGBA, which is what the windows' bitmaps
    // and the tests expect.
    image.format = PNG_FORMAT_RGBA;
    // 16-bit files without gamma information are taken as ordinary (sRGB) samples, as
    // picture editors write them, rather than libpng's default of linear light, which
    // would brighten every mid-tone.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    const std::size_t stride = std::size_t(image.width) * 4;
    std::vector<std::uint8_t> rgba;
    try {
        rgba.resize(stride * image.height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (png_image_finish_read(&image, nullptr, rgba.data(), png_int_32(stride), nullptr) == 0)
        return false;
    // Warnings (for instance an unknown ancillary chunk) leave a usable picture; errors
    // were refused above.
    out.width = int(image.width);
    out.height = int(image.height);
    out.rgba = std::move(rgba);
    return true;
}

}  // namespace velmo::assets
