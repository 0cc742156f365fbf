// The pictures built into the programs: each PNG of the folder is carried byte for byte
// and decodes to the size its role needs, with a real alpha channel.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "assets/embedded_pictures.h"

namespace {

using velmo::assets::embeddedPicture;
using velmo::assets::loadEmbeddedPicture;
using velmo::ui::Image;

TEST(EmbeddedPictures, EveryPngOfTheFolderIsCarriedAndDecodesToItsSizeWithAlpha) {
    // The sizes the windows lay the pictures out for.
    const std::map<std::string, int> sides = {
        {"quit_16", 16},           {"link_16", 16},           {"about_16", 16},
        {"tool_transfert_128", 128}, {"tool_navigateur_128", 128}, {"tool_sauvegarde_128", 128},
        {"link_generator_16", 16}, {"chmod_apply_16", 16},    {"chmod_restore_16", 16},
        {"stay_on_top_24", 24},    {"help_16", 16},           {"folder_32", 32},
        {"file_32", 32},           {"about_picture_80x95", 80}};
    // A PNG dropped into assets/ but left out of every program's list is caught here.
    std::set<std::string> inFolder, carried;
    for (const auto& entry : std::filesystem::directory_iterator(VELMO_ASSETS_DIR))
        if (entry.path().extension() == ".png") inFolder.insert(entry.path().stem().string());
    for (const std::string& name : velmo::assets::embeddedPictureNames()) carried.insert(name);
    EXPECT_EQ(carried, inFolder);
    for (const auto& [name, side] : sides) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(inFolder.count(name));
        std::ifstream in(std::string(VELMO_ASSETS_DIR) + "/" + name + ".png", std::ios::binary);
        const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto bytes = embeddedPicture(name.c_str());
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), file);
        Image image;
        ASSERT_TRUE(loadEmbeddedPicture(name.c_str(), image));
        EXPECT_EQ(image.width, side);
        EXPECT_EQ(image.height, side == 80 ? 95 : side);
        int transparent = 0, opaque = 0;
        for (std::size_t i = 3; i < image.rgba.size(); i += 4) (image.rgba[i] == 0 ? transparent : opaque) += 1;
        EXPECT_GT(transparent, 0);  // neither an empty frame nor a filled square
        EXPECT_GT(opaque, side * side / 8);
    }
    EXPECT_EQ(inFolder.size(), sides.size());
    EXPECT_TRUE(embeddedPicture("quit_16.png").empty());
}

}  // namespace
