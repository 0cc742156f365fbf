// The PNG decoder: every colour type comes out as straight 8-bit RGBA, and data that is
// not a complete, valid PNG is refused without reading past the buffer (this test runs
// under AddressSanitizer in the sanitizer build).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
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
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    Bytes out;
    append32(out, std::uint32_t(data.size()));
    out.insert(out.end(), body.begin(), body.end());
    append32(out, std::uint32_t(crc32(0, body.data(), uInt(body.size()))));
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
    chunks.push_back(chunk("IDAT", idat));
    chunks.push_back(chunk("IEND", {}));
    for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
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
        {"grey", handMade(3, 1, deflate({0, 0, 100, 255}), 0), 3, 1,
         {0, 0, 0, 255, 100, 100, 100, 255, 255, 255, 255, 255}},
        {"rgb, one column", handMade(1, 2, deflate({0, 1, 2, 3, 0, 200, 100, 50}), 2), 1, 2,
         {1, 2, 3, 255, 200, 100, 50, 255}},
        {"grey and alpha", handMade(2, 1, deflate({0, 80, 255, 7, 0}), 4), 2, 1, {80, 80, 80, 255, 7, 7, 7, 0}},
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

TEST(PngDecode, EveryTruncationOfARealPictureIsRefused) {
    std::span<const std::uint8_t> whole = velmo::assets::embeddedPicture("tool_transfert_128");
    Image image;
    ASSERT_TRUE(decodePng(whole.data(), whole.size(), image));
    for (std::size_t length = 0; length < whole.size(); ++length) {
        // A copy of exactly `length` bytes, so that ASan sees any read past its end.
        Bytes part(whole.begin(), whole.begin() + std::ptrdiff_t(length));
        image.width = 7;
        EXPECT_FALSE(decodePng(part.data(), part.size(), image)) << "accepted " << length << " bytes";
        EXPECT_EQ(image.width, 0);
        EXPECT_TRUE(image.rgba.empty());
    }
}

TEST(PngDecode, GarbageAndBrokenFilesAreRefused) {
    std::mt19937 random(12345);
    Bytes noise(4096);
    for (auto& b : noise) b = std::uint8_t(random());
    Bytes signedNoise = noise;
    std::memcpy(signedNoise.data(), "\x89PNG\r\n\x1a\n", 8);
    const Bytes pixel = deflate({0, 9, 8, 7, 255});
    Bytes damaged = handMade(1, 1, pixel);
    damaged[8 + 25 + 8 + 2] ^= 0x40;  // inside the image data: the chunk's CRC no longer matches
    const std::string text = "GIF89a not a png at all, only some text";
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"text", Bytes(text.begin(), text.end())},
        {"noise", noise},
        {"the signature followed by noise", signedNoise},
        {"image data that is no zlib stream, correct CRCs", handMade(1, 1, noise)},
        {"too little image data for the size", handMade(4, 4, pixel)},
        {"zero width", handMade(0, 1, pixel)},
        {"gigantic", handMade(100000, 100000, pixel)},
        {"one pixel too wide", handMade(velmo::assets::maxPictureSide + 1, 1, pixel)},
        {"impossible colour type", handMade(1, 1, pixel, 5)},
        {"damaged byte", damaged},
    };
    Image image;
    EXPECT_FALSE(decodePng(nullptr, 100, image));
    for (const auto& c : cases) {
        image.rgba.assign(4, 1);
        EXPECT_FALSE(decodePng(c.file.data(), c.file.size(), image)) << c.what;
        EXPECT_TRUE(image.rgba.empty()) << c.what;
    }
}

TEST(PngDecode, RandomDamageNeverBreaksTheDecoder) {
    // Whatever a damaged file yields, the decoder returns, and a picture it accepts is whole.
    std::span<const std::uint8_t> whole = velmo::assets::embeddedPicture("about_picture_80x95");
    ASSERT_FALSE(whole.empty());
    std::mt19937 random(2024);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes damaged(whole.begin(), whole.end());
        for (int i = 1 + int(random() % 4); i > 0; --i)
            damaged[random() % damaged.size()] ^= std::uint8_t(1 + random() % 255);
        Image image;
        if (decodePng(damaged.data(), damaged.size(), image)) {
            EXPECT_EQ(image.rgba.size(), std::size_t(image.width) * std::size_t(image.height) * 4);
        } else {
            ++refused;
            EXPECT_TRUE(image.rgba.empty());
        }
    }
    // Critical chunks carry CRCs, so nearly every damaged copy is refused.
    EXPECT_GT(refused, 200);
}

}  // namespace
