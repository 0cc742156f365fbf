// The window-less core: what the start-up scan puts in the tree list and the bars' rounding.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "installer/guestbook_manifest.h"
#include "installer/permission_plan.h"
#include "tests/support/scratch_folder.h"

using namespace velmo::installer;
namespace stdfs = std::filesystem;

namespace {

// A temporary folder that is the current directory while the test runs, as the installer
// runs in Tools.
struct InFolder : velmo::testing::ScratchFolder {
    InFolder() : ScratchFolder(Enter) {}
    void touch(const std::string& rel) const { writeFile(rel, "x"); }
};

}  // namespace

TEST(GuestbookManifest, ScanLeavesOutFoldersThumbsAndUnlistedPlaces) {
    InFolder in;
    in.touch("livre-dor/index.php");
    in.touch("livre-dor/Thumbs.db");
    in.touch("livre-dor/thumbs.db");  // only the exact name is left out
    in.touch("livre-dor/images/extra/deep.gif");  // not a manifest folder
    in.touch("livre-dor/images/b.gif");
    in.touch("livre-dor/images/A.gif");
    in.touch("livre-dor/langues/loose.php");  // the langues folder is never scanned
    std::vector<std::string> lines;
    std::vector<ManifestFolder> m = scanManifest(lines);
    const std::vector<std::string> expected = {
        "+-[Dossier] livre-dor", "   +- index.php", "   +- thumbs.db",
        "   +-[Dossier] images", "      +- A.gif", "      +- b.gif",
        "   +-[Dossier] langues"};
    EXPECT_EQ(lines, expected);
    // Entries whose folder is missing add nothing, yet keep their folder line for the upload.
    EXPECT_EQ(m[1].lines, std::vector<std::string>{"   +-[Dossier] aide"});
    EXPECT_EQ(fileNameOfLine("      +- A.gif", m[5].fileLinePrefix), "A.gif");
}

TEST(ProgressMath, BarsRoundUpStayInRangeAndDoNotOverflow) {
    EXPECT_EQ(overallPercent(0), 0);
    EXPECT_EQ(overallPercent(1), 1);
    EXPECT_EQ(overallPercent(166), 50);
    EXPECT_EQ(overallPercent(332), 100);
    EXPECT_EQ(overallPercent(400), 100);
    EXPECT_EQ(filePercent(0, 0), 0);  // an empty file shows 0 while it is sent
    EXPECT_EQ(filePercent(1, 1000), 1);
    EXPECT_EQ(filePercent(999, 1000), 100);
    EXPECT_EQ(filePercent(5LL << 40, 6LL << 40), 84);  // large files do not overflow
    EXPECT_EQ(permissionStepPercent(3, 14), 22);
}
