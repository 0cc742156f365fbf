#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "installer/guestbook_manifest.h"
#include "installer/install_link.h"
#include "installer/permission_plan.h"
#include "platform/fs.h"

using namespace velmo::installer;
namespace stdfs = std::filesystem;

namespace {

// Runs the body with the current directory set to `dir`, as the installer runs in Tools.
struct InFolder {
    explicit InFolder(const stdfs::path& dir) : previous(stdfs::current_path()) { stdfs::current_path(dir); }
    ~InFolder() { stdfs::current_path(previous); }
    stdfs::path previous;
};

stdfs::path makeTempFolder() {
    char tmpl[] = "/tmp/velmo-manifest-XXXXXX";
    return mkdtemp(tmpl);
}

void touch(const stdfs::path& p) {
    stdfs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

}  // namespace

TEST(GuestbookManifest, TheShippedGuestbookFillsTheTreeListWith333Lines) {
    InFolder in(SAMPLE_GUESTBOOK_PARENT);
    std::vector<std::string> lines;
    std::vector<ManifestFolder> manifest = scanManifest(lines);
    ASSERT_EQ(manifest.size(), 24u);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(expectedItemCount));
    EXPECT_EQ(lines[0], "+-[Dossier] livre-dor");
    EXPECT_EQ(lines[1].rfind("   +- ", 0), 0u);
    // The language folder without a scan keeps its place in the list.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "   +-[Dossier] langues"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "         +-[Dossier] imgs"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "   +- livre_lire.php"), lines.end());
    for (const std::string& l : lines) EXPECT_EQ(l.find("Thumbs.db"), std::string::npos) << l;
}

TEST(GuestbookManifest, RemoteStepsFollowTheFolderNesting) {
    using K = RemoteStep::Kind;
    std::vector<ManifestFolder> m = guestbookManifest();
    auto steps = [&](int i) {
        std::string s;
        for (const RemoteStep& r : m[i].remoteSteps)
            s += (r.kind == K::ChangeToBase ? "base" : r.kind == K::Make ? "mkd" : "cwd") +
                 std::string("(") + r.argument + ")";
        return s;
    };
    EXPECT_EQ(steps(0), "mkd()cwd()");  // the user's folder, from the login directory
    EXPECT_EQ(steps(1), "mkd(aide)cwd(aide)");
    EXPECT_EQ(steps(3), "base()mkd(chmod_perso)cwd(chmod_perso)");
    EXPECT_EQ(steps(11), "base()mkd(langues)cwd(langues)");
    EXPECT_EQ(steps(12), "mkd(lg01_fr)cwd(lg01_fr)");
    EXPECT_EQ(steps(13), "base(/langues)mkd(lg02_en)cwd(lg02_en)");
    EXPECT_EQ(steps(22), "base(/skins)mkd(skin_blanc_officiel)cwd(skin_blanc_officiel)");
    EXPECT_EQ(m[11].localFolder, "");
    EXPECT_EQ(m[21].localFolder, "livre-dor\\skins\\mon_skin\\imgs\\");
    EXPECT_EQ(m[21].uploadPrefix, "livre-dor/skins/mon_skin/imgs/");
    EXPECT_EQ(m[21].fileLinePrefix, "            +- ");
}

TEST(GuestbookManifest, ScanLeavesOutFoldersThumbsAndUnlistedPlaces) {
    stdfs::path root = makeTempFolder();
    touch(root / "livre-dor/index.php");
    touch(root / "livre-dor/Thumbs.db");
    touch(root / "livre-dor/thumbs.db");  // only the exact name is left out
    touch(root / "livre-dor/images/extra/deep.gif");  // not a manifest folder
    touch(root / "livre-dor/images/b.gif");
    touch(root / "livre-dor/images/A.gif");
    touch(root / "livre-dor/langues/loose.php");  // the langues folder is never scanned
    InFolder in(root);
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
    stdfs::current_path(in.previous);
    stdfs::remove_all(root);
}

TEST(ProgressMath, BarsRoundUpAndStayInRange) {
    EXPECT_EQ(overallPercent(0), 0);
    EXPECT_EQ(overallPercent(1), 1);
    EXPECT_EQ(overallPercent(166), 50);
    EXPECT_EQ(overallPercent(332), 100);
    EXPECT_EQ(overallPercent(400), 100);
    EXPECT_EQ(filePercent(0, 0), 0);  // an empty file shows 0 while it is sent
    EXPECT_EQ(filePercent(1, 1000), 1);
    EXPECT_EQ(filePercent(999, 1000), 100);
    EXPECT_EQ(filePercent(5LL << 40, 6LL << 40), 84);  // large files do not overflow
}

TEST(PermissionPlan, TargetsModesAndStatusLine) {
    EXPECT_STREQ(permissionPlan[0].suffix, "/chmod_perso");
    EXPECT_TRUE(permissionPlan[1].isFolder);
    EXPECT_FALSE(permissionPlan[2].isFolder);
    EXPECT_STREQ(permissionPlan[13].suffix, "/skins/skin_blanc_officiel/cfg_variables.php");
    int folders = 0;
    for (const PermissionTarget& t : permissionPlan) folders += t.isFolder;
    EXPECT_EQ(folders, 2);
    EXPECT_EQ(permissionStepText(3, 14, permissionPlan[2].label), "En cours : [3/14] cfg_choix_skin.php");
    EXPECT_EQ(permissionStepPercent(3, 14), 22);
    EXPECT_EQ(permissionStepPercent(14, 14), 100);
}

TEST(InstallLink, AddressesAreNormalisedCheckedAndJoined) {
    struct Case {
        const char* typed;
        SiteAddressCheck check;
        const char* normalized;
    } cases[] = {
        {"http://www.mon-site.fr/ ", SiteAddressCheck::Accepted, "http://www.mon-site.fr"},
        {"  http://www.mon-site.fr///", SiteAddressCheck::Accepted, "http://www.mon-site.fr"},
        {"http:///", SiteAddressCheck::SchemeOnly, "http://"},
        {"http://", SiteAddressCheck::SchemeOnly, "http://"},
        {"   ", SiteAddressCheck::Empty, ""},
        {"www.mon-site.fr", SiteAddressCheck::MissingScheme, "www.mon-site.fr"},
        {"HTTP://www.mon-site.fr", SiteAddressCheck::MissingScheme, "HTTP://www.mon-site.fr"},
        {"http://www.mon site.fr", SiteAddressCheck::Accepted, "http://www.monsite.fr"},
    };
    for (const Case& c : cases) {
        std::string n = normalizeSiteAddress(c.typed);
        EXPECT_EQ(n, c.normalized) << c.typed;
        EXPECT_EQ(checkSiteAddress(n), c.check) << c.typed;
    }
    EXPECT_EQ(installLinkFor("http://www.mon-site.fr", "livre-dor"),
              "http://www.mon-site.fr/livre-dor/install/index.php");
    EXPECT_EQ(installLinkFor("http://www.mon-site.fr", ""),
              "http://www.mon-site.fr/>>>>>Attention le nom de dossier est inconnu<<<<</install/index.php");
    EXPECT_EQ(installLinkFor("http://www.mon%20site.fr", "mon livre"),
              "http://www.mon site.fr/mon livre/install/index.php");
}
