// The updater's rules that need neither window nor network: which published version comes
// next, how versions are written, which description paths are refused, and the names a
// package path gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "updater/engine/update_description.h"
#include "updater/engine/version_choice.h"
#include "updater/engine/version_files.h"

using namespace velmo::updater;

TEST(VersionChoice, OneUpdateAtATimeAndTheObsoleteUpdaterCheck) {
    const std::vector<PublishedVersion> list = {{2000000, 1000000}, {2010000, 1010000}, {2020000, 1000000}};
    struct Row {
        std::int32_t installed;
        std::int32_t target, latest, required;
        bool newer;
    };
    const std::vector<Row> rows = {
        {2000000, 2010000, 2020000, 1010000, true},  // the first newer one, not the newest
        {2010000, 2020000, 2020000, 1000000, true},
        {2020000, 2020000, 2020000, 0, false},       // up to date: target is the installed one
        {2030000, 2020000, 2020000, 0, false},       // newer than published: the last one is offered
        {0, 2000000, 2020000, 1000000, true},
    };
    for (const Row& r : rows) {
        const VersionChoice c = chooseVersion(list, r.installed);
        EXPECT_EQ(c.target, r.target) << r.installed;
        EXPECT_EQ(c.latest, r.latest) << r.installed;
        EXPECT_EQ(c.requiredUpdater, r.required) << r.installed;
        EXPECT_EQ(c.newerFound, r.newer) << r.installed;
    }
    // A list out of order still offers the first newer key in file order.
    const VersionChoice c = chooseVersion({{2020000, 0}, {2010000, 0}}, 2000000);
    EXPECT_EQ(c.target, 2020000);
    EXPECT_EQ(c.latest, 2010000);
}

TEST(VersionFiles, VersionsAreWrittenAndReadAsTheSiteWritesThem) {
    EXPECT_EQ(formatVersion(2010003), "2.10.3");
    EXPECT_EQ(formatVersion(2123456), "2.123.456");
    EXPECT_EQ(formatVersion(12), "1.2.0");
    EXPECT_EQ(versionNumber(" \t2010000abc"), 2010000);
    EXPECT_EQ(versionNumber("99999999999999"), 2147483647) << "kept within 32 bits";
}

TEST(UpdateDescription, PathsThatLeaveTheirFolderAreRefused) {
    struct Row {
        const char* path;
        bool asFile, asFolder;  // accepted as a file entry, as a folder / permission entry
    };
    const std::vector<Row> rows = {
        {"livre_lire.velmo", true, true},
        {"skins/defaut/fond.velmo", true, true},
        {"skins/nouveau/", false, true},
        {"../index.php", false, false},
        {"skins/../../x", false, false},
        {"./a", false, false},
        {"/etc/passwd", false, false},
        {"C:/Windows/x", false, false},
        {"skins\\defaut\\fond.velmo", false, false},
        {"a//b", false, false},
        {"", false, false},
        {"/", false, false},
        {"a\r\nDELE x", false, false},
        // vsftpd and pure-ftpd take a leading "~" for the login home.
        {"~/index.velmo", false, false},
        {"~", false, false},
        {"~/", false, false},
        {"skins/~x/fond.velmo", false, false},
        {"skins/a~/fond~.velmo", true, true},
        // Names Windows would not keep as given in the mirror.
        {"skins/nul.velmo", false, false},
        {"CON/fond.velmo", false, false},
        {"skins./fond.velmo", false, false},
        {"fond?.velmo", false, false},
    };
    for (const Row& r : rows) {
        std::string refused;
        UpdateDescription asFile;
        asFile.files = {"ok.velmo", r.path};
        EXPECT_EQ(findUnsafePath(asFile, refused), !r.asFile) << r.path;
        if (!r.asFile) {
            EXPECT_EQ(refused, r.path);
        }
        for (int list = 0; list < 2; ++list) {
            UpdateDescription d;
            (list == 0 ? d.folders : d.chmods) = {r.path};
            EXPECT_EQ(findUnsafePath(d, refused), !r.asFolder) << r.path << " list " << list;
        }
    }
}

TEST(UpdateDescription, ServerNames) {
    EXPECT_EQ(toServerName("skins/defaut/fond.velmo"), "skins/defaut/fond.php");
    EXPECT_EQ(toServerName("a.velmo.velmo"), "a.php.php");
    EXPECT_EQ(toServerName("A.VELMO"), "A.VELMO");
}

// The signed groups as read: one exact form for a digest line (lowercase hex, a size, the
// path as listed), the version alone in its group. Anything else leaves the file without a
// digest, and the description is refused rather than half-checked.
TEST(UpdateDescription, DigestsAndVersionAreReadInOneExactForm) {
    const std::string hex(64, 'a');
    struct Row {
        const char* what;
        std::string digestLines, versionLines;
        DescriptionFault fault;
    };
    const std::vector<Row> rows = {
        {"both files listed", "e1 = " + hex + " 12 a.velmo\r\ne2 = " + hex + " 0 b/c d.txt\r\n", "v = 2010000\r\n",
         DescriptionFault::None},
        {"no digest group", "", "v = 2010000\r\n", DescriptionFault::NoDigests},
        {"one file missing", "e1 = " + hex + " 12 a.velmo\r\n", "v = 2010000\r\n", DescriptionFault::NoDigests},
        {"upper-case hex", "e1 = " + std::string(64, 'A') + " 12 a.velmo\r\ne2 = " + hex + " 0 b/c d.txt\r\n",
         "v = 2010000\r\n", DescriptionFault::NoDigests},
        {"a short digest", "e1 = " + hex.substr(1) + " 12 a.velmo\r\ne2 = " + hex + " 0 b/c d.txt\r\n",
         "v = 2010000\r\n", DescriptionFault::NoDigests},
        {"a negative size", "e1 = " + hex + " -1 a.velmo\r\ne2 = " + hex + " 0 b/c d.txt\r\n", "v = 2010000\r\n",
         DescriptionFault::NoDigests},
        {"a size with a sign", "e1 = " + hex + " +12 a.velmo\r\ne2 = " + hex + " 0 b/c d.txt\r\n",
         "v = 2010000\r\n", DescriptionFault::NoDigests},
        {"another path", "e1 = " + hex + " 12 A.velmo\r\ne2 = " + hex + " 0 b/c d.txt\r\n", "v = 2010000\r\n",
         DescriptionFault::NoDigests},
        {"no version", "e1 = " + hex + " 12 a.velmo\r\ne2 = " + hex + " 0 b/c d.txt\r\n", "",
         DescriptionFault::OtherVersion},
        {"two versions", "e1 = " + hex + " 12 a.velmo\r\ne2 = " + hex + " 0 b/c d.txt\r\n",
         "v = 2010000\r\nw = 2010000\r\n", DescriptionFault::OtherVersion},
        {"a version with a tail", "e1 = " + hex + " 12 a.velmo\r\ne2 = " + hex + " 0 b/c d.txt\r\n",
         "v = 2010000x\r\n", DescriptionFault::OtherVersion},
    };
    velmo::testing::ScratchFolder dir;
    for (const Row& r : rows) {
        dir.writeFile("d.pcfg", "[Grp_ListeFichiersATelecharger]\r\nf1 = a.velmo\r\nf2 = b/c d.txt\r\n"
                                "[Grp_EmpreintesFichiers]\r\n" + r.digestLines +
                                "[Grp_VersionMaj]\r\n" + r.versionLines);
        UpdateDescription d;
        ASSERT_TRUE(readUpdateDescription((dir / "d.pcfg").string(), d)) << r.what;
        EXPECT_EQ(findDescriptionFault(d, 2010000), r.fault) << r.what;
    }
}
