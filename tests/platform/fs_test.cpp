#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/fs.h"
#include "tests/support/reduced_rights.h"
#include "tests/support/scratch_folder.h"

namespace fs = velmo::fs;
namespace sfs = std::filesystem;
using velmo::testing::readBytes;
using velmo::testing::writeBytes;

class FsTest : public ::testing::Test {
protected:
    velmo::testing::ScratchFolder scratch_{velmo::testing::ScratchFolder::Enter};
    const std::string dir_ = scratch_.path;

    // Names of what the folder holds, sorted, "/" after folders and "@" after links.
    static std::string contents(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : sfs::directory_iterator(folder))
            names.push_back(e.path().filename().string() + (e.is_symlink() ? "@" : e.is_directory() ? "/" : ""));
        std::sort(names.begin(), names.end());
        std::string out;
        for (const std::string& n : names) out += n + " ";
        return out;
    }
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
    EXPECT_EQ(contents(dir_), "config.pcfg lien.pcfg ");
    // A write that stops part-way (here at the second byte of any file): the replacement
    // fails, the file keeps every byte it had and the sibling goes.
    {
        velmo::testing::FileSizeLimit limit(2);
        EXPECT_FALSE(fs::replaceFileContents("config.pcfg", "perdu"));
    }
    ASSERT_TRUE(fs::readWholeFile("config.pcfg", data));
    EXPECT_EQ(data, "nouveau\r\n");
    // A folder in the file's place cannot be replaced, and no sibling is left.
    fs::makeFolder("dossier");
    EXPECT_FALSE(fs::replaceFileContents("dossier", "x"));
    EXPECT_EQ(contents(dir_), "config.pcfg dossier/ lien.pcfg ");
}

TEST_F(FsTest, ReplaceKeepsModeOwnerAndLinksAndWritesInPlaceWhereTheFolderTakesNoNewFile) {
    // Mode and owner survive: a fresh file would get 0644 (umask 022) and root's owner.
    sfs::create_directory("reel");
    writeBytes("reel/config.pcfg", "ancien\r\n");
    ::chmod("reel/config.pcfg", 0640);
    ASSERT_EQ(::chown("reel/config.pcfg", 65534, 65534), 0);
    const mode_t umaskBefore = ::umask(022);
    ASSERT_TRUE(fs::replaceFileContents("reel/config.pcfg", "un\r\n"));
    struct stat st {};
    ASSERT_EQ(::stat("reel/config.pcfg", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    ASSERT_TRUE(fs::replaceFileContents("reel/neuf.pcfg", "x"));  // a new file: mode as fopen gives
    ASSERT_EQ(::stat("reel/neuf.pcfg", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ::umask(umaskBefore);

    // Through a link, a link to that link, and a link whose target does not exist yet: the
    // links stay links (relative ones too) and their targets get the bytes.
    sfs::create_symlink("reel/config.pcfg", "lien.pcfg");
    sfs::create_symlink(dir_ + "/lien.pcfg", "lien2.pcfg");
    sfs::create_symlink("reel/plus-tard.pcfg", "pendant.pcfg");
    ASSERT_TRUE(fs::replaceFileContents("lien.pcfg", "deux\r\n"));
    ASSERT_TRUE(fs::replaceFileContents("lien2.pcfg", "trois\r\n"));
    ASSERT_TRUE(fs::replaceFileContents("pendant.pcfg", "quatre\r\n"));
    EXPECT_EQ(contents(dir_), "lien.pcfg@ lien2.pcfg@ pendant.pcfg@ reel/ ");
    EXPECT_EQ(contents(dir_ + "/reel"), "config.pcfg neuf.pcfg plus-tard.pcfg ");
    EXPECT_EQ(readBytes("reel/config.pcfg"), "trois\r\n");
    EXPECT_EQ(readBytes("reel/plus-tard.pcfg"), "quatre\r\n");
    sfs::create_symlink("boucle.pcfg", "boucle.pcfg");
    EXPECT_FALSE(fs::replaceFileContents("boucle.pcfg", "x"));

    // As an ordinary account, in a folder it may not add files to: a writable file is
    // rewritten in place (shorter and longer), a read-only one is left alone, and a missing
    // one cannot be made.
    writeBytes("reel/config.pcfg", "ancien contenu\r\n");
    ::chmod("reel/config.pcfg", 0666);
    ::chmod("reel/neuf.pcfg", 0444);
    ::chmod("reel", 0555);
    ::chmod(dir_.c_str(), 0755);
    {
        velmo::testing::OrdinaryRights rights;
        ASSERT_TRUE(fs::replaceFileContents("lien.pcfg", "court\r\n"));
        EXPECT_EQ(readBytes("reel/config.pcfg"), "court\r\n");
        ASSERT_TRUE(fs::replaceFileContents("reel/config.pcfg", "nettement plus long\r\n"));
        EXPECT_EQ(readBytes("reel/config.pcfg"), "nettement plus long\r\n");
        EXPECT_FALSE(fs::replaceFileContents("reel/neuf.pcfg", "y"));
        EXPECT_FALSE(fs::replaceFileContents("reel/absent.pcfg", "z"));
    }
    ::chmod("reel", 0755);
    EXPECT_EQ(readBytes("reel/neuf.pcfg"), "x");
    EXPECT_EQ(contents(dir_ + "/reel"), "config.pcfg neuf.pcfg plus-tard.pcfg ");

    // A read-only leftover of an earlier run, under the old fixed name or under the name
    // this process would pick first, never blocks a save.
    sfs::permissions(dir_, sfs::perms::all);
    writeBytes("config.pcfg", "a\r\n");
    ::chmod("config.pcfg", 0666);
    for (int n = 0; n < 4; ++n) {
        const std::string leftover = "config.pcfg.nouveau" + (n ? "-" + std::to_string(::getpid()) + "-" + std::to_string(n - 1) : "");
        writeBytes(leftover, "reste");
        ::chmod(leftover.c_str(), 0444);
    }
    velmo::testing::OrdinaryRights rights;
    for (const char* bytes : {"b\r\n", "c\r\n"}) {
        ASSERT_TRUE(fs::replaceFileContents("config.pcfg", bytes));
        EXPECT_EQ(readBytes("config.pcfg"), bytes);
    }
}
