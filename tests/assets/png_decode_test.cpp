// The PNG decoder: every colour type comes out as straight 8-bit RGBA, and data that is
// not a complete, valid PNG is refused without reading past the buffer (this test runs
// under AddressSanitizer in the sanitizer build).
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <span>
#include <vector>

#include "assets/embedded_pictures.h"
#include "assets/png_decode.h"

namespace {

using velmo::assets::decodePng;
using velmo::ui::Image;
using Bytes = std::vector<std::uint8_t>;

void append32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

Bytes chunk(const char* type, const Bytes& data) {
    Bytes out;
    append32(out, std::uint32_t(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    append32(out, std::uint32_t(crc32(0, out.data() + 4, uInt(out.size() - 4))));
    return out;
}

Bytes deflate(const Bytes& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    EXPECT_EQ(compress(out.data(), &size, raw.data(), uLong(raw.size())), Z_OK);
    out.resize(size);
    return out;
}

// A hand-made file: signature, IHDR, the extra chunks (PLTE, tRNS), the given IDAT
// payload, IEND. Layouts other software writes, not only the ones our drawing script makes.
Bytes handMade(std::uint32_t width, std::uint32_t height, const Bytes& idat, std::uint8_t colourType = 6,
               std::uint8_t depth = 8, const std::vector<Bytes>& extra = {}) {
    Bytes ihdr;
    append32(ihdr, width);
    append32(ihdr, height);
    ihdr.insert(ihdr.end(), {depth, colourType, 0, 0, 0});  // no compression, filter or interlace choices
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<Bytes> chunks = {chunk("IHDR", ihdr)};
    chunks.insert(chunks.end(), extra.begin(), extra.end());
    for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
    for (const Bytes& c : {chunk("IDAT", idat), chunk("IEND", {})}) out.insert(out.end(), c.begin(), c.end());
    return out;
}

TEST(PngDecode, EveryColourTypeComesOutAsStraightRgba) {
    struct Case {
        const char* what;
        Bytes file;
        int width, height;
        Bytes rgba;
    } cases[] = {
        // Half-transparent pixels keep their colour (no premultiplication). Each row
        // starts with its filter byte (0).
        {"rgba", handMade(2, 1, deflate({0, 0, 255, 0, 128, 10, 20, 30, 0})), 2, 1,
         {0, 255, 0, 128, 10, 20, 30, 0}},
        {"rgb, one column", handMade(1, 2, deflate({0, 1, 2, 3, 0, 200, 100, 50}), 2), 1, 2,
         {1, 2, 3, 255, 200, 100, 50, 255}},
        {"palette with transparency",
         handMade(3, 1, deflate({0, 2, 0, 1}), 3, 8,
                  {chunk("PLTE", {0, 0, 0, 250, 200, 40, 30, 60, 90}), chunk("tRNS", {0})}),
         3, 1, {30, 60, 90, 255, 0, 0, 0, 0, 250, 200, 40, 255}},
        // 16-bit samples without a gamma chunk: the high byte wins (no linear-light brightening).
        {"16-bit rgba", handMade(1, 1, deflate({0, 0xff, 0xff, 0x80, 0x00, 0x00, 0x00, 0xff, 0xff}), 6, 16), 1, 1,
         {255, 128, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Image image;
        ASSERT_TRUE(decodePng(c.file.data(), c.file.size(), image));
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_EQ(image.rgba, c.rgba);
    }
}

TEST(PngDecode, TruncatedGarbageAndBrokenFilesAreRefused) {
    std::span<const std::uint8_t> whole = velmo::assets::embeddedPicture("tool_transfert_128");
    Image image;
    ASSERT_TRUE(decodePng(whole.data(), whole.size(), image));
    for (std::size_t length = 0; length < whole.size(); ++length) {
        // A copy of exactly `length` bytes, so that ASan sees any read past its end.
        Bytes part(whole.begin(), whole.begin() + std::ptrdiff_t(length));
        EXPECT_FALSE(decodePng(part.data(), part.size(), image)) << "accepted " << length << " bytes";
    }
    std::mt19937 random(12345);
    Bytes noise(4096);
    for (auto& b : noise) b = std::uint8_t(random());
    const Bytes pixel = deflate({0, 9, 8, 7, 255});
    Bytes damaged = handMade(1, 1, pixel), overlong = damaged;
    damaged[8 + 25 + 8 + 2] ^= 0x40;  // inside the image data: the chunk's CRC no longer matches
    overlong[8 + 25] = 0xff;          // the IDAT length points far past the end of the bytes
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"noise", noise},
        {"too little image data for the size", handMade(4, 4, pixel)},
        {"zero width", handMade(0, 1, pixel)},
        {"one pixel too wide", handMade(velmo::assets::maxPictureSide + 1, 1, pixel)},
        {"damaged byte", damaged},
        {"chunk longer than the file", overlong},
    };
    EXPECT_FALSE(decodePng(nullptr, 100, image));
    for (const auto& c : cases) {
        image.rgba.assign(4, 1);
        EXPECT_FALSE(decodePng(c.file.data(), c.file.size(), image)) << c.what;
        EXPECT_TRUE(image.rgba.empty()) << c.what;
    }
}

}  // namespace
