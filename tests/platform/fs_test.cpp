#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/fs.h"
#include "tests/support/scratch_folder.h"

namespace fs = velmo::fs;

class FsTest : public ::testing::Test {
protected:
    velmo::testing::ScratchFolder scratch_{velmo::testing::ScratchFolder::Enter};
    const std::string dir_ = scratch_.path;
};

TEST_F(FsTest, SizesKindsAppendsAndListingsWithAccentedNamesAndWindowsSeparators) {
    std::ofstream("vide.exe", std::ios::binary);
    ASSERT_TRUE(fs::makeFolder("dossier.exe"));
    EXPECT_EQ(fs::fileSize("vide.exe"), 0);
    EXPECT_EQ(fs::fileSize("dossier.exe"), -1);
    EXPECT_EQ(fs::fileSize("absent.exe"), -1);
    EXPECT_TRUE(fs::isDirectory("dossier.exe"));
    EXPECT_FALSE(fs::fileExists("dossier.exe"));
    // Appends create, then grow.
    const std::string accented = "dossier.exe\\r\xE9sum\xE9.txt";  // CP1252 name
    ASSERT_TRUE(fs::appendToFile(accented, "un\r\n"));
    ASSERT_TRUE(fs::appendToFile(accented, "deux\r\n"));
    EXPECT_FALSE(fs::appendToFile("pas-de-dossier/log.txt", "x"));
    EXPECT_EQ(fs::fileSize("dossier.exe/r\xE9sum\xE9.txt"), 10);

    ASSERT_TRUE(fs::makeFolder("dossier.exe/images"));
    std::vector<fs::FolderEntry> entries;
    ASSERT_TRUE(fs::listFolder("dossier.exe\\", entries));
    std::string names;
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
    for (const fs::FolderEntry& e : entries) names += e.name + (e.isDirectory ? "/ " : " ");
    EXPECT_EQ(names, "images/ r\xE9sum\xE9.txt ");
    EXPECT_FALSE(fs::listFolder("absent", entries));
}

TEST_F(FsTest, ReplaceKeepsTheOldContentsWhenTheNewOnesCannotBeWritten) {
    std::ofstream("config.pcfg", std::ios::binary) << "ancien\r\n";
    // The new contents arrive under a new directory entry: a second name of the old file
    // still sees the old bytes whole, so the file was never rewritten in place.
    std::filesystem::create_hard_link("config.pcfg", "lien.pcfg");
    ASSERT_TRUE(fs::replaceFileContents("config.pcfg", "nouveau\r\n"));
    std::string data;
    ASSERT_TRUE(fs::readWholeFile("lien.pcfg", data));
    EXPECT_EQ(data, "ancien\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/config.pcfg.nouveau"));
    // A folder standing where the sibling would be written: the replacement fails and
    // the file keeps every byte it had.
    fs::makeFolder("config.pcfg.nouveau");
    EXPECT_FALSE(fs::replaceFileContents("config.pcfg", "perdu"));
    ASSERT_TRUE(fs::readWholeFile("config.pcfg", data));
    EXPECT_EQ(data, "nouveau\r\n");
    // A folder in the file's place cannot be replaced, and the written sibling goes.
    fs::makeFolder("dossier");
    EXPECT_FALSE(fs::replaceFileContents("dossier", "x"));
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/dossier.nouveau"));
}
