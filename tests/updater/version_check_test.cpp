// The version check against the official site on a real HTTP server: the local version
// files, the choice of the next update, the stops that end the program, and a description
// naming paths outside its folders.
#include <gtest/gtest.h>

#include "tests/updater/updater_harness.h"
#include "updater/update_check.h"
#include "updater/updater_texts.h"

using namespace velmo::updater;
using namespace velmo::updater::testing;

namespace {

const std::string indent(86, ' ');

Package smallPackage() {
    Package p;
    p.lines = {"Correction du formulaire.", "Nouveau fond."};
    p.files = {"livre_lire.velmo", "skins/defaut/fond.velmo", "skins/defaut/imgs/logo.png"};
    return p;
}

}  // namespace

TEST(LocalVersions, MissingFilesAreCreatedAndTheInstalledVersionShown) {
    ToolsFolder tools;
    RecordingReporter reporter;
    ASSERT_TRUE(initialiseLocalVersions(reporter));
    EXPECT_EQ(tools.dir.readFile("misesAJour/__NumeroDeVersion_Exe_Local.pcfg"),
              "[Grp_NumeroDeVersion_Exe_Local]\r\n; Version de l'executable Velmo, Maj de l'utilisateur [Local].\r\n"
              "versionExecutableMaj_Local = 1000000\r\n");
    EXPECT_EQ(tools.dir.readFile("misesAJour/__NumeroDeVersion_Script_Local.pcfg"),
              "[Grp_NumeroDeVersion_Script_Local]\r\n; Version du script Velmo, Livre d'or de l'utilisateur [Local].\r\n"
              "versionDuScript_Local = 2000000\r\n");
    EXPECT_EQ(reporter.installed, "2.0.0");

    // Existing files are read, never rewritten.
    tools.setInstalledScript(2010003);
    const std::string before = tools.dir.readFile("misesAJour/__NumeroDeVersion_Script_Local.pcfg");
    ASSERT_TRUE(initialiseLocalVersions(reporter));
    EXPECT_EQ(reporter.installed, "2.10.3");
    EXPECT_EQ(tools.dir.readFile("misesAJour/__NumeroDeVersion_Script_Local.pcfg"), before);
    EXPECT_TRUE(reporter.boxes.empty());

    // Without "misesAJour" nothing can be created: the start ends with the message.
    ToolsFolder bare(false);
    RecordingReporter stopped;
    EXPECT_FALSE(initialiseLocalVersions(stopped));
    ASSERT_EQ(stopped.boxes.size(), 1u);
    EXPECT_TRUE(stopped.boxes[0].fatal);
    EXPECT_EQ(stopped.boxes[0].title, "ATTENTION.");
    EXPECT_EQ(stopped.boxes[0].text, "Impossible d'ouvrir le fichier \"__NumeroDeVersion_Script_Local.pcfg\".");
    EXPECT_EQ(stopped.boxes[0].icon, BoxIcon::Error);
}

TEST(VersionCheck, OffersTheNextVersionOrSaysUpToDate) {
    OfficialSiteOnPeer official;
    official.publishList({{2000000, 1000000}, {2010000, 1000000}, {2020000, 1000000}});
    official.publishPackage(2010000, smallPackage());
    official.publishPackage(2020000, smallPackage());
    struct Row {
        std::int32_t installed;
        CheckOutcome outcome;
        const char* package;
        bool upToDate;
    };
    const std::vector<Row> rows = {
        {2000000, CheckOutcome::UpdateOffered, "maj_2010000", false},
        {2020000, CheckOutcome::UpToDate, "", true},
        {2030000, CheckOutcome::UpdateOffered, "maj_2020000", false},  // newer than published
    };
    for (const Row& r : rows) {
        ToolsFolder tools;
        tools.setInstalledScript(r.installed);
        RecordingReporter reporter;
        ASSERT_TRUE(initialiseLocalVersions(reporter));
        UpdaterState state;
        EXPECT_EQ(checkForUpdates(state, official.site(), reporter), r.outcome) << r.installed;
        EXPECT_TRUE(reporter.boxes.empty()) << r.installed;
        EXPECT_EQ(reporter.latest, "2.20.0") << r.installed;
        EXPECT_EQ(reporter.upToDate, r.upToDate) << r.installed;
        EXPECT_EQ(reporter.statusText, r.upToDate ? texts::upToDate : texts::notUpToDate) << r.installed;
        EXPECT_EQ(state.latestVersion, 2020000);
        if (r.outcome == CheckOutcome::UpToDate) {
            EXPECT_EQ(reporter.description, std::vector<std::string>{indent + texts::noUpdate});
            EXPECT_TRUE(reporter.rows.empty());
            EXPECT_FALSE(state.checkPending);
            EXPECT_TRUE(state.applyLocked);
            continue;
        }
        EXPECT_EQ(state.packageFolder(), r.package);
        EXPECT_FALSE(state.applyLocked);
        EXPECT_TRUE(state.checkPending);
        EXPECT_EQ(reporter.description, (std::vector<std::string>{indent + texts::updateAvailable, "",
                                                                  "Correction du formulaire.", "Nouveau fond."}));
        EXPECT_EQ(reporter.rows, (std::vector<std::pair<std::string, std::string>>{
                                     {"livre_lire.php", texts::rowToUpdate},
                                     {"fond.php", texts::rowToUpdate},
                                     {"logo.png", texts::rowToUpdate}}));
        EXPECT_TRUE(tools.dir.readFile(std::string("misesAJour/") + r.package + "/_Fichier_Maj_xxx.pcfg") ==
                    smallPackage().descriptionText());
    }
}

TEST(VersionCheck, StopsThatEndTheProgram) {
    OfficialSiteOnPeer official(velmo::testsupport::HttpPeerKind::PythonHttpServer);
    ToolsFolder tools;
    RecordingReporter start;
    ASSERT_TRUE(initialiseLocalVersions(start));
    UpdaterState state;

    // Nothing published yet: the site answers 404 for the version list.
    RecordingReporter missing;
    EXPECT_EQ(checkForUpdates(state, official.site(), missing), CheckOutcome::ProgramEnds);
    ASSERT_EQ(missing.boxes.size(), 1u);
    EXPECT_TRUE(missing.boxes[0].fatal);
    EXPECT_EQ(missing.boxes[0].title, "Avertissement.");
    EXPECT_EQ(missing.boxes[0].text, texts::officialFileMissing("_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg"));
    EXPECT_NE(missing.boxes[0].text.find("[Distant - Erreur : TFSALMSSO]"), std::string::npos);

    // The next version needs a newer updater: stop before anything is offered.
    official.publishList({{2000000, 1000000}, {2010000, 1010000}, {2020000, 1000000}});
    official.publishPackage(2010000, smallPackage());
    RecordingReporter obsolete;
    EXPECT_EQ(checkForUpdates(state, official.site(), obsolete), CheckOutcome::ProgramEnds);
    ASSERT_EQ(obsolete.boxes.size(), 1u);
    EXPECT_TRUE(obsolete.boxes[0].fatal);
    EXPECT_EQ(obsolete.boxes[0].title, "ATTENTION.");
    EXPECT_EQ(obsolete.boxes[0].text, texts::obsoleteUpdater);
    EXPECT_TRUE(obsolete.rows.empty());
    EXPECT_TRUE(state.applyLocked);

    // With the updater recent enough, a package whose description is missing stops too.
    tools.setUpdaterVersion(1010000);
    official.publishList({{2000000, 1000000}, {2020000, 1000000}});
    RecordingReporter noDescription;
    EXPECT_EQ(checkForUpdates(state, official.site(), noDescription), CheckOutcome::ProgramEnds);
    ASSERT_EQ(noDescription.boxes.size(), 1u);
    EXPECT_EQ(noDescription.boxes[0].text, texts::officialFileMissing("_Fichier_Maj_xxx.pcfg"));
    EXPECT_TRUE(state.applyLocked);
}

TEST(VersionCheck, DescriptionsNamingPathsOutsideTheirFoldersAreRefused) {
    OfficialSiteOnPeer official;
    official.publishList({{2000000, 1000000}, {2010000, 1000000}});
    const std::vector<std::pair<const char*, Package>> hostile = {
        {"file", Package{{"x"}, {"ok.velmo", "../../Velmo_Menu.exe"}, {}, {}, {}}},
        {"folder", Package{{"x"}, {"ok.velmo"}, {"skins/../../"}, {}, {}}},
        {"chmod", Package{{"x"}, {"ok.velmo"}, {}, {"/etc"}, {}}},
        {"backslash", Package{{"x"}, {"skins\\..\\..\\x.velmo"}, {}, {}, {}}},
    };
    for (const auto& [what, package] : hostile) {
        official.publishPackage(2010000, package);
        ToolsFolder tools;
        tools.setInstalledScript(2000000);
        tools.setUpdaterVersion(1000000);
        RecordingReporter reporter;
        UpdaterState state;
        EXPECT_EQ(checkForUpdates(state, official.site(), reporter), CheckOutcome::Refused) << what;
        ASSERT_EQ(reporter.boxes.size(), 1u) << what;
        EXPECT_FALSE(reporter.boxes[0].fatal);
        EXPECT_NE(reporter.boxes[0].text.find("chemin refusé"), std::string::npos) << what;
        EXPECT_TRUE(reporter.rows.empty()) << what;
        EXPECT_TRUE(state.applyLocked) << what;
    }
}
