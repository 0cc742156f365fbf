// The PNG decoder: every colour type comes out as straight 8-bit RGBA, and data that is
// not a complete, valid PNG is refused without reading past the buffer (this test runs
// under AddressSanitizer in the sanitizer build).
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <array>
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

// Writes a PNG with libpng's own encoder, so the decoder meets files made by other
// software in every layout, not only the ones our drawing script writes.
Bytes writePng(int width, int height, png_uint_32 format, const void* pixels,
               const void* colormap = nullptr, int colormapEntries = 0) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = format;
    image.colormap_entries = png_uint_32(colormapEntries);
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_get_memory_size(image, size, 0, pixels, 0, colormap));
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0, colormap));
    out.resize(size);
    return out;
}

std::array<int, 4> pixel(const Image& image, int x, int y) {
    const std::size_t i = (std::size_t(y) * image.width + x) * 4;
    return {image.rgba[i], image.rgba[i + 1], image.rgba[i + 2], image.rgba[i + 3]};
}

Bytes chunk(const char* type, const Bytes& data) {
    Bytes out;
    const std::uint32_t length = std::uint32_t(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(length >> shift));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    const std::uint32_t crc = std::uint32_t(crc32(0, body.data(), uInt(body.size())));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(crc >> shift));
    return out;
}

Bytes be32(std::uint32_t v) {
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

// A hand-made file: signature, IHDR, the given IDAT payload, IEND.
Bytes handMade(std::uint32_t width, std::uint32_t height, const Bytes& idat, std::uint8_t colourType = 6) {
    Bytes ihdr = be32(width);
    Bytes h = be32(height);
    ihdr.insert(ihdr.end(), h.begin(), h.end());
    for (std::uint8_t b : {std::uint8_t(8), colourType, std::uint8_t(0), std::uint8_t(0), std::uint8_t(0)})
        ihdr.push_back(b);
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    for (const Bytes& c : {chunk("IHDR", ihdr), chunk("IDAT", idat), chunk("IEND", {})})
        out.insert(out.end(), c.begin(), c.end());
    return out;
}

Bytes deflate(const Bytes& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    EXPECT_EQ(compress(out.data(), &size, raw.data(), uLong(raw.size())), Z_OK);
    out.resize(size);
    return out;
}

TEST(PngDecode, RgbaComesOutUnchangedAndStraight) {
    // Half-transparent pixels must keep their colour (no premultiplication).
    const std::uint8_t px[] = {255, 0, 0, 255,  0, 255, 0, 128,  0, 0, 255, 0,  10, 20, 30, 40};
    const Bytes file = writePng(2, 2, PNG_FORMAT_RGBA, px);
    Image image;
    ASSERT_TRUE(decodePng(file.data(), file.size(), image));
    ASSERT_EQ(image.width, 2);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(image.rgba, Bytes(px, px + 16));
}

TEST(PngDecode, GreyRgbAndGreyAlphaGainTheMissingChannels) {
    const std::uint8_t grey[] = {0, 100, 255};
    Bytes file = writePng(3, 1, PNG_FORMAT_GRAY, grey);
    Image image;
    ASSERT_TRUE(decodePng(file.data(), file.size(), image));
    EXPECT_EQ(pixel(image, 0, 0), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(pixel(image, 1, 0), (std::array<int, 4>{100, 100, 100, 255}));
    EXPECT_EQ(pixel(image, 2, 0), (std::array<int, 4>{255, 255, 255, 255}));

    const std::uint8_t rgb[] = {1, 2, 3, 200, 100, 50};
    file = writePng(1, 2, PNG_FORMAT_RGB, rgb);
    ASSERT_TRUE(decodePng(file.data(), file.size(), image));
    ASSERT_EQ(image.width, 1);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(pixel(image, 0, 0), (std::array<int, 4>{1, 2, 3, 255}));
    EXPECT_EQ(pixel(image, 0, 1), (std::array<int, 4>{200, 100, 50, 255}));

    const std::uint8_t greyAlpha[] = {80, 0, 80, 255};
    file = writePng(2, 1, PNG_FORMAT_GA, greyAlpha);
    ASSERT_TRUE(decodePng(file.data(), file.size(), image));
    EXPECT_EQ(pixel(image, 0, 0)[3], 0);
    EXPECT_EQ(pixel(image, 1, 0), (std::array<int, 4>{80, 80, 80, 255}));
}

TEST(PngDecode, PaletteWithTransparencyIsExpanded) {
    const std::uint8_t colormap[] = {0, 0, 0, 0,  250, 200, 40, 255,  30, 60, 90, 255};
    const std::uint8_t indices[] = {0, 1, 2, 1, 0, 2};
    Bytes file = writePng(3, 2, PNG_FORMAT_RGBA | PNG_FORMAT_FLAG_COLORMAP, indices, colormap, 3);
    // The writer really made a palette file (colour type 3 in IHDR).
    ASSERT_GT(file.size(), 26u);
    ASSERT_EQ(file[25], 3);
    Image image;
    ASSERT_TRUE(decodePng(file.data(), file.size(), image));
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(pixel(image, 0, 0)[3], 0);
    EXPECT_EQ(pixel(image, 1, 0), (std::array<int, 4>{250, 200, 40, 255}));
    EXPECT_EQ(pixel(image, 2, 0), (std::array<int, 4>{30, 60, 90, 255}));
    EXPECT_EQ(pixel(image, 0, 1), (std::array<int, 4>{250, 200, 40, 255}));
    EXPECT_EQ(pixel(image, 1, 1)[3], 0);
}

TEST(PngDecode, SixteenBitSamplesAreNarrowed) {
    // Hand-made 16-bit RGBA (colour type 6, depth 16), no gamma chunk: the high byte wins.
    Bytes ihdr = be32(2);
    Bytes one = be32(1);
    ihdr.insert(ihdr.end(), one.begin(), one.end());
    for (std::uint8_t b : {16, 6, 0, 0, 0}) ihdr.push_back(b);
    const Bytes raw = {0, 0xff, 0xff, 0x80, 0x00, 0x00, 0x00, 0xff, 0xff,
                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    Bytes file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    for (const Bytes& c : {chunk("IHDR", ihdr), chunk("IDAT", deflate(raw)), chunk("IEND", {})})
        file.insert(file.end(), c.begin(), c.end());
    Image image;
    ASSERT_TRUE(decodePng(file.data(), file.size(), image));
    ASSERT_EQ(image.width, 2);
    EXPECT_EQ(pixel(image, 0, 0), (std::array<int, 4>{255, 128, 0, 255}));
    EXPECT_EQ(pixel(image, 1, 0)[3], 0);
}

TEST(PngDecode, AHandMadeFileDecodesSoTheRefusalsBelowAreAboutTheirOneFault) {
    const Bytes raw = {0, 9, 8, 7, 255};
    Bytes file = handMade(1, 1, deflate(raw));
    Image image;
    ASSERT_TRUE(decodePng(file.data(), file.size(), image));
    EXPECT_EQ(pixel(image, 0, 0), (std::array<int, 4>{9, 8, 7, 255}));
}

TEST(PngDecode, EveryTruncationOfARealPictureIsRefused) {
    std::span<const std::uint8_t> whole = velmo::assets::embeddedPicture("tool_transfert_128");
    ASSERT_FALSE(whole.empty());
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
    Image image;
    EXPECT_FALSE(decodePng(nullptr, 0, image));
    EXPECT_FALSE(decodePng(nullptr, 100, image));
    const std::string text = "GIF89a not a png at all, only some text";
    EXPECT_FALSE(decodePng(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), image));

    std::mt19937 random(12345);
    Bytes noise(4096);
    for (auto& b : noise) b = std::uint8_t(random());
    EXPECT_FALSE(decodePng(noise.data(), noise.size(), image));
    // The signature followed by noise.
    const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::copy(signature.begin(), signature.end(), noise.begin());
    EXPECT_FALSE(decodePng(noise.data(), noise.size(), image));

    const Bytes raw = {0, 9, 8, 7, 255};
    // Compressed data that is no zlib stream, with correct chunk CRCs.
    Bytes file = handMade(1, 1, noise);
    EXPECT_FALSE(decodePng(file.data(), file.size(), image));
    // Too little image data for the size the header claims.
    file = handMade(4, 4, deflate(raw));
    EXPECT_FALSE(decodePng(file.data(), file.size(), image));
    // Zero and gigantic sizes.
    file = handMade(0, 1, deflate(raw));
    EXPECT_FALSE(decodePng(file.data(), file.size(), image));
    file = handMade(100000, 100000, deflate(raw));
    EXPECT_FALSE(decodePng(file.data(), file.size(), image));
    file = handMade(velmo::assets::maxPictureSide + 1, 1, deflate(raw));
    EXPECT_FALSE(decodePng(file.data(), file.size(), image));
    // An impossible colour type.
    file = handMade(1, 1, deflate(raw), 5);
    EXPECT_FALSE(decodePng(file.data(), file.size(), image));
    // A damaged byte inside the image data: the chunk's CRC no longer matches.
    file = handMade(1, 1, deflate(raw));
    file[8 + 25 + 8 + 2] ^= 0x40;
    EXPECT_FALSE(decodePng(file.data(), file.size(), image));
    EXPECT_TRUE(image.rgba.empty());
}

TEST(PngDecode, RandomDamageNeverBreaksTheDecoder) {
    // Whatever a damaged file yields, the decoder returns, and a picture it accepts is whole.
    std::span<const std::uint8_t> whole = velmo::assets::embeddedPicture("about_picture_80x95");
    ASSERT_FALSE(whole.empty());
    std::mt19937 random(2024);
    int refused = 0;
    for (int round = 0; round < 1500; ++round) {
        Bytes damaged(whole.begin(), whole.end());
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) damaged[random() % damaged.size()] ^= std::uint8_t(1 + random() % 255);
        Image image;
        if (decodePng(damaged.data(), damaged.size(), image)) {
            EXPECT_GT(image.width, 0);
            EXPECT_EQ(image.rgba.size(), std::size_t(image.width) * std::size_t(image.height) * 4);
        } else {
            ++refused;
            EXPECT_TRUE(image.rgba.empty());
        }
    }
    // Critical chunks carry CRCs, so nearly every damaged copy is refused.
    EXPECT_GT(refused, 1000);
}

}  // namespace
