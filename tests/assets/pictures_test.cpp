// The pictures built into the programs: each one is carried, decodes to the size its role
// needs, and has a real alpha channel (a transparent background around an opaque body).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
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
    {"quit_16", {16, 16}},           {"link_16", {16, 16}},
    {"about_16", {16, 16}},          {"about_picture_80x95", {80, 95}},
    {"tool_transfert_128", {128, 128}}, {"tool_navigateur_128", {128, 128}},
    {"tool_sauvegarde_128", {128, 128}}, {"link_generator_16", {16, 16}},
    {"chmod_apply_16", {16, 16}},    {"chmod_restore_16", {16, 16}},
    {"stay_on_top_24", {24, 24}},    {"help_16", {16, 16}},
    {"folder_32", {32, 32}},         {"file_32", {32, 32}},
};

TEST(EmbeddedPictures, EveryPngOfTheFolderIsCarriedByteForByte) {
    std::set<std::string> known, inFolder;
    for (const auto& entry : expectedSizes) known.insert(entry.first);
    // A PNG dropped into assets/ but left out of every program's list is caught here.
    for (const auto& entry : std::filesystem::directory_iterator(VELMO_ASSETS_DIR))
        if (entry.path().extension() == ".png") inFolder.insert(entry.path().stem().string());
    const std::vector<std::string> names = embeddedPictureNames();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), known);
    EXPECT_EQ(inFolder, known);
    for (const std::string& name : names) {
        std::ifstream in(std::string(VELMO_ASSETS_DIR) + "/" + name + ".png", std::ios::binary);
        const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::span<const std::uint8_t> bytes = embeddedPicture(name.c_str());
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), file) << name;
    }
}

TEST(EmbeddedPictures, EachDecodesToItsSizeWithTransparentCornersAroundAColouredBody) {
    for (const auto& [name, size] : expectedSizes) {
        SCOPED_TRACE(name);
        const auto [w, h] = size;
        Image image;
        ASSERT_TRUE(loadEmbeddedPicture(name.c_str(), image));
        EXPECT_EQ(image.width, w);
        EXPECT_EQ(image.height, h);
        ASSERT_EQ(image.rgba.size(), std::size_t(w) * h * 4);
        int transparent = 0, opaque = 0, coloured = 0;
        for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
            const std::uint8_t* p = &image.rgba[i];
            transparent += p[3] == 0;
            opaque += p[3] == 255;
            coloured += p[3] == 255 && !(p[0] == p[1] && p[1] == p[2]);
        }
        // Neither an empty frame nor a filled square, nor shades of grey only.
        EXPECT_GT(opaque, w * h / 8);
        EXPECT_GT(transparent, w * h / 20);
        EXPECT_GT(coloured, 0);
        for (int corner : {0, w - 1, (h - 1) * w, h * w - 1})
            EXPECT_EQ(image.rgba[std::size_t(corner) * 4 + 3], 0) << "corner " << corner;
    }
    Image open, closed;
    ASSERT_TRUE(loadEmbeddedPicture("chmod_apply_16", open));
    ASSERT_TRUE(loadEmbeddedPicture("chmod_restore_16", closed));
    EXPECT_NE(open.rgba, closed.rgba) << "the two padlocks are one picture";
}

TEST(EmbeddedPictures, AnUnknownNameGivesNothing) {
    for (const char* name : {"quit", "quit_16.png", "", static_cast<const char*>(nullptr)})
        EXPECT_TRUE(embeddedPicture(name).empty()) << (name ? name : "null");
    Image image;
    image.width = 3;
    image.rgba.assign(4, 1);
    EXPECT_FALSE(loadEmbeddedPicture("absent_16", image));
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.rgba.empty());
}

}  // namespace
