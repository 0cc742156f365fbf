#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/fs.h"

namespace fs = velmo::fs;

class FsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/velmo-fs-XXXXXX";
        dir_ = mkdtemp(tmpl);
        previous_ = fs::currentDirectory();
        ASSERT_TRUE(fs::changeDirectory(dir_));
    }
    void TearDown() override {
        fs::changeDirectory(previous_);
        std::filesystem::remove_all(dir_);
    }
    static void write(const std::string& path, const std::string& data) {
        std::ofstream(path, std::ios::binary) << data;
    }
    std::string dir_, previous_;
};

TEST_F(FsTest, SizeAndKindOfPaths) {
    write("vide.exe", "");
    write("plein.exe", "MZ");
    fs::makeFolder("dossier.exe");
    EXPECT_EQ(fs::fileSize("vide.exe"), 0);
    EXPECT_EQ(fs::fileSize("plein.exe"), 2);
    EXPECT_EQ(fs::fileSize("dossier.exe"), -1);
    EXPECT_EQ(fs::fileSize("absent.exe"), -1);
    EXPECT_TRUE(fs::isDirectory("dossier.exe"));
    EXPECT_FALSE(fs::fileExists("dossier.exe"));
    // Windows-style separators are accepted everywhere.
    write("dossier.exe/x.txt", "abc");
    EXPECT_EQ(fs::fileSize("dossier.exe\\x.txt"), 3);
}

TEST_F(FsTest, ListingGivesNamesWithKindsAndAccentedNamesRoundTrip) {
    fs::makeFolder("livre-dor");
    write("livre-dor/a.php", "x");
    fs::makeFolder("livre-dor/images");
    const std::string accented = "livre-dor/r\xE9sum\xE9.txt";  // CP1252 name
    ASSERT_TRUE(fs::appendToFile(accented, "1"));
    std::vector<fs::FolderEntry> entries;
    ASSERT_TRUE(fs::listFolder("livre-dor\\", entries));
    std::sort(entries.begin(), entries.end(),
              [](const fs::FolderEntry& a, const fs::FolderEntry& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "a.php");
    EXPECT_FALSE(entries[0].isDirectory);
    EXPECT_EQ(entries[1].name, "images");
    EXPECT_TRUE(entries[1].isDirectory);
    EXPECT_EQ(entries[2].name, "r\xE9sum\xE9.txt");
    EXPECT_EQ(fs::fileSize(accented), 1);
    EXPECT_FALSE(fs::listFolder("absent", entries));
}

TEST_F(FsTest, ReplaceKeepsTheOldContentsWhenTheNewOnesCannotBeWritten) {
    write("config.pcfg", "ancien\r\n");
    ASSERT_TRUE(fs::replaceFileContents("config.pcfg", "nouveau\r\n"));
    std::string data;
    ASSERT_TRUE(fs::readWholeFile("config.pcfg", data));
    EXPECT_EQ(data, "nouveau\r\n");
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

TEST_F(FsTest, AppendCreatesThenGrowsAndStreamsReadBack) {
    ASSERT_TRUE(fs::appendToFile("log.txt", "un\r\n"));
    ASSERT_TRUE(fs::appendToFile("log.txt", "deux\r\n"));
    EXPECT_FALSE(fs::appendToFile("pas-de-dossier/log.txt", "x"));
    fs::File f;
    ASSERT_TRUE(f.open("log.txt", fs::File::Mode::Read));
    char buf[4];
    std::string got;
    for (std::size_t n; (n = f.read(buf, sizeof buf)) > 0;) got.append(buf, n);
    EXPECT_EQ(got, "un\r\ndeux\r\n");
    EXPECT_FALSE(f.open("absent", fs::File::Mode::Read));
}
