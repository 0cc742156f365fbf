// The pictures built into the programs: each one is carried, decodes to the size its role
// needs, and has a real alpha channel (a transparent background around an opaque body).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "assets/embedded_pictures.h"

namespace {

using velmo::assets::embeddedPicture;
using velmo::assets::embeddedPictureNames;
using velmo::assets::loadEmbeddedPicture;
using velmo::ui::Image;

// The sizes the windows lay the pictures out for.
const std::map<std::string, std::pair<int, int>> expectedSizes = {
    {"quit_16", {16, 16}},
    {"link_16", {16, 16}},
    {"about_16", {16, 16}},
    {"about_picture_80x95", {80, 95}},
    {"tool_transfert_128", {128, 128}},
    {"tool_navigateur_128", {128, 128}},
    {"tool_sauvegarde_128", {128, 128}},
    {"link_generator_16", {16, 16}},
    {"chmod_apply_16", {16, 16}},
    {"chmod_restore_16", {16, 16}},
    {"stay_on_top_24", {24, 24}},
    {"help_16", {16, 16}},
    {"folder_32", {32, 32}},
    {"file_32", {32, 32}},
};

TEST(EmbeddedPictures, EveryPictureOfTheFolderIsCarriedAndEveryCarriedOneHasAKnownSize) {
    const std::vector<std::string> names = embeddedPictureNames();
    for (const auto& [name, size] : expectedSizes)
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    for (const std::string& name : names)
        EXPECT_TRUE(expectedSizes.count(name)) << "no size known for " << name;
    // A PNG dropped into assets/ but left out of every program's list is caught here.
    for (const auto& entry : std::filesystem::directory_iterator(VELMO_ASSETS_DIR)) {
        if (entry.path().extension() != ".png") continue;
        const std::string stem = entry.path().stem().string();
        EXPECT_NE(std::find(names.begin(), names.end(), stem), names.end())
            << stem << ".png is in assets/ but no program carries it";
    }
}

TEST(EmbeddedPictures, EmbeddedBytesAreTheFileBytes) {
    for (const std::string& name : embeddedPictureNames()) {
        std::span<const std::uint8_t> bytes = embeddedPicture(name.c_str());
        const std::filesystem::path file = std::filesystem::path(VELMO_ASSETS_DIR) / (name + ".png");
        ASSERT_TRUE(std::filesystem::exists(file)) << file;
        EXPECT_EQ(bytes.size(), std::filesystem::file_size(file)) << name;
        ASSERT_GE(bytes.size(), 8u);
        EXPECT_EQ(bytes[1], 'P');
        EXPECT_EQ(bytes[2], 'N');
        EXPECT_EQ(bytes[3], 'G');
    }
}

TEST(EmbeddedPictures, EachDecodesToItsSizeWithTransparentAndOpaquePixels) {
    for (const auto& [name, size] : expectedSizes) {
        SCOPED_TRACE(name);
        Image image;
        ASSERT_TRUE(loadEmbeddedPicture(name.c_str(), image));
        EXPECT_EQ(image.width, size.first);
        EXPECT_EQ(image.height, size.second);
        ASSERT_EQ(image.rgba.size(), std::size_t(size.first) * size.second * 4);
        int transparent = 0, opaque = 0, coloured = 0;
        for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
            const std::uint8_t a = image.rgba[i + 3];
            if (a == 0) ++transparent;
            if (a == 255) ++opaque;
            if (a == 255 && !(image.rgba[i] == image.rgba[i + 1] && image.rgba[i + 1] == image.rgba[i + 2]))
                ++coloured;
        }
        const int pixels = size.first * size.second;
        EXPECT_GT(transparent, 0);
        EXPECT_GT(opaque, 0);
        // Neither an empty frame nor a filled square: the shape covers a fair part.
        EXPECT_GT(opaque, pixels / 8);
        EXPECT_GT(transparent, pixels / 20);
        EXPECT_GT(coloured, 0) << "a picture in shades of grey only";
        // The four corners show the window behind the picture.
        const int w = size.first, h = size.second;
        for (int corner : {0, w - 1, (h - 1) * w, h * w - 1})
            EXPECT_EQ(image.rgba[std::size_t(corner) * 4 + 3], 0) << "corner " << corner;
    }
}

TEST(EmbeddedPictures, TheTwoPadlocksDiffer) {
    Image open, closed;
    ASSERT_TRUE(loadEmbeddedPicture("chmod_apply_16", open));
    ASSERT_TRUE(loadEmbeddedPicture("chmod_restore_16", closed));
    EXPECT_NE(open.rgba, closed.rgba);
}

TEST(EmbeddedPictures, AnUnknownNameGivesNothing) {
    EXPECT_TRUE(embeddedPicture("quit").empty());
    EXPECT_TRUE(embeddedPicture("quit_16.png").empty());
    EXPECT_TRUE(embeddedPicture("").empty());
    EXPECT_TRUE(embeddedPicture(nullptr).empty());
    Image image;
    image.width = 3;
    image.rgba.assign(4, 1);
    EXPECT_FALSE(loadEmbeddedPicture("absent_16", image));
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.rgba.empty());
}

}  // namespace
