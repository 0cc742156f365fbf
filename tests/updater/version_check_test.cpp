// The version check against the official site on a real HTTP server: the local version
// files, the choice of the next update, the stops that end the program, and a description
// naming paths outside its folders. (The window test covers the start without
// "misesAJour" and the version list the site does not have.)
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "tests/support/scripted_http.h"
#include "tests/updater/updater_harness.h"
#include "updater/engine/update_apply.h"
#include "updater/engine/update_check.h"
#include "updater/engine/version_files.h"

using namespace velmo::updater;
using namespace velmo::updater::testing;

namespace {

Package smallPackage() {
    Package p;
    p.lines = {"Correction du formulaire.", "Nouveau fond."};
    p.files = {"livre_lire.velmo", "skins/defaut/fond.velmo"};
    return p;
}

}  // namespace

TEST(LocalVersions, MissingFilesAreCreatedExistingOnesOnlyRead) {
    ToolsFolder tools;
    RecordingReporter reporter;
    ASSERT_TRUE(initialiseLocalVersions(reporter));
    EXPECT_EQ(tools.dir.readFile("misesAJour/__NumeroDeVersion_Exe_Local.pcfg"),
              "[Grp_NumeroDeVersion_Exe_Local]\r\n; Version de l'executable Velmo, Maj de l'utilisateur [Local].\r\n"
              "versionExecutableMaj_Local = 1000000\r\n");
    EXPECT_EQ(reporter.installed, 2000000);

    tools.setInstalledScript(2010003);
    const std::string before = tools.dir.readFile("misesAJour/__NumeroDeVersion_Script_Local.pcfg");
    ASSERT_TRUE(initialiseLocalVersions(reporter));
    EXPECT_EQ(reporter.installed, 2010003);
    EXPECT_EQ(tools.dir.readFile("misesAJour/__NumeroDeVersion_Script_Local.pcfg"), before);
}

TEST(VersionCheck, OffersTheNextVersionOrSaysUpToDate) {
    OfficialSiteOnPeer official;
    official.publishList({{2000000, 1000000}, {2010000, 1000000}, {2020000, 1000000}});
    official.publishPackage(2010000, smallPackage());
    official.publishPackage(2020000, smallPackage());
    struct Row {
        std::int32_t installed;
        const char* package;  // "" when up to date
    };
    for (const Row& r : std::vector<Row>{{2000000, "maj_2010000"}, {2020000, ""}, {2030000, "maj_2020000"}}) {
        ToolsFolder tools;
        tools.setInstalledScript(r.installed);
        tools.setUpdaterVersion(1000000);
        RecordingReporter reporter;
        UpdaterState state;
        const bool offered = *r.package != '\0';
        EXPECT_EQ(checkForUpdates(state, official.site(), reporter),
                  offered ? CheckOutcome::UpdateOffered : CheckOutcome::UpToDate) << r.installed;
        EXPECT_TRUE(reporter.boxes.empty());
        EXPECT_EQ(reporter.latest, 2020000);
        EXPECT_EQ(reporter.statusCalls, 1) << r.installed;
        EXPECT_EQ(reporter.upToDate, !offered) << r.installed;
        EXPECT_EQ(state.applyLocked, !offered) << r.installed;
        EXPECT_EQ(state.checkPending, offered) << r.installed;
        if (!offered) {
            EXPECT_EQ(reporter.description, std::vector<std::string>{"<NoUpdate>"});
            continue;
        }
        EXPECT_EQ(state.packageFolder(), r.package);
        EXPECT_EQ(reporter.description, (std::vector<std::string>{"<UpdateAvailable>", "",
                                                                  "Correction du formulaire.", "Nouveau fond."}));
        EXPECT_EQ(reporter.rows, (std::vector<std::pair<std::string, FileState>>{
                                     {"livre_lire.php", FileState::ToUpdate}, {"fond.php", FileState::ToUpdate}}));
    }
}

TEST(VersionCheck, ObsoleteUpdaterAndMissingDescriptionEndTheProgram) {
    OfficialSiteOnPeer official(velmo::testsupport::HttpPeerKind::PythonHttpServer);
    ToolsFolder tools;
    tools.setInstalledScript(2000000);
    tools.setUpdaterVersion(1000000);
    UpdaterState state;
    official.publishList({{2000000, 1000000}, {2010000, 1010000}, {2020000, 1000000}});
    official.publishPackage(2010000, smallPackage());
    RecordingReporter obsolete;
    EXPECT_EQ(checkForUpdates(state, official.site(), obsolete), CheckOutcome::ProgramEnds);
    ASSERT_EQ(obsolete.boxes.size(), 1u);
    EXPECT_TRUE(obsolete.boxes[0].fatal);
    EXPECT_EQ(obsolete.boxes[0].title + obsolete.boxes[0].text, std::string("ATTENTION.") +
                  "Cette version de Velmo, Maj est obsolète, veuillez récupérer une version plus récente sur le "
                  "site officiel.");
    EXPECT_TRUE(obsolete.rows.empty());

    tools.setUpdaterVersion(1010000);
    official.publishList({{2000000, 1000000}, {2020000, 1000000}});  // maj_2020000 is not published
    RecordingReporter noDescription;
    EXPECT_EQ(checkForUpdates(state, official.site(), noDescription), CheckOutcome::ProgramEnds);
    ASSERT_EQ(noDescription.boxes.size(), 1u);
    EXPECT_EQ(noDescription.boxes[0].text,
              "Le fichier : \"_Fichier_Maj_xxx.pcfg\" se trouvant sur le site officiel est absent.\r\n\r\n"
              "Contactez le webmaster du site pour lui signaler, sinon vous ne pourrez plus faire de mise à jour.\r\n"
              "[Distant - Erreur : TFSALMSSO]");
    EXPECT_TRUE(state.applyLocked);
}

TEST(VersionCheck, DescriptionsNamingPathsOutsideTheirFoldersAreRefused) {
    OfficialSiteOnPeer official;
    official.publishList({{2000000, 1000000}, {2010000, 1000000}});
    official.publishPackage(2010000, Package{{"x"}, {"ok.velmo", "../../Velmo_Menu.exe"}, {}, {}, {}});
    ToolsFolder tools;
    tools.setInstalledScript(2000000);
    tools.setUpdaterVersion(1000000);
    RecordingReporter reporter;
    UpdaterState state;
    EXPECT_EQ(checkForUpdates(state, official.site(), reporter), CheckOutcome::Refused);
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].text,
              "La description de la mise à jour contient un chemin refusé :\r\n\"../../Velmo_Menu.exe\"\r\n\r\n"
              "Rien n'a été téléchargé ni envoyé. Contactez le webmaster du site officiel pour lui signaler.");
    EXPECT_TRUE(reporter.rows.empty());
    EXPECT_TRUE(state.applyLocked);
}

// An offer holds only until the next check: a list that no longer offers anything (the
// installed version caught up elsewhere, or the site emptied its list) must lock the
// installation tab, or "Appliquer" would install the old offer's mirrored package and
// record its version.
TEST(VersionCheck, ACheckThatOffersNothingLocksTheInstallationTabAgain) {
    OfficialSiteOnPeer official;
    official.publishPackage(2010000, smallPackage());
    ToolsFolder tools;
    tools.setInstalledScript(2000000);
    tools.setUpdaterVersion(1000000);
    const std::vector<std::pair<const char*, std::vector<std::pair<std::int32_t, std::int32_t>>>> laterLists = {
        {"only the installed version", {{2000000, 1000000}}},
        {"a list without keys", {}},
    };
    for (const auto& [what, later] : laterLists) {
        UpdaterState state;
        official.publishList({{2000000, 1000000}, {2010000, 1000000}});
        RecordingReporter offer;
        ASSERT_EQ(checkForUpdates(state, official.site(), offer), CheckOutcome::UpdateOffered) << what;
        ASSERT_FALSE(state.applyLocked);

        official.publishList(later);
        RecordingReporter nothing;
        EXPECT_EQ(checkForUpdates(state, official.site(), nothing), CheckOutcome::UpToDate) << what;
        EXPECT_TRUE(state.applyLocked) << what;
        EXPECT_FALSE(state.checkPending) << what;
        EXPECT_TRUE(nothing.rows.empty()) << what;

        // Even pressed, the installation finds nothing to install and records nothing.
        velmo::ConnectionSettings form;
        form.serverAddress = "127.0.0.1";
        form.userId = "u";
        form.password = "p";
        form.guestbookFolder = "livre-dor";
        RecordingReporter apply;
        EXPECT_EQ(applyUpdate(state, official.site(), form, apply), ApplyOutcome::Refused) << what;
        std::int32_t recorded = 0;
        ASSERT_TRUE(readLocalVersion(scriptVersionFile, recorded));
        EXPECT_EQ(recorded, 2000000) << what;
    }
}

// A whole check has one deadline: a site that does not answer holds it no longer than
// that, however long each download alone may wait.
TEST(VersionCheck, ASilentSiteHoldsTheCheckNoLongerThanItsDeadline) {
    velmo::testsupport::ScriptedServer web;
    velmo::testsupport::expectGet(web, "/velmo-maj/_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg").silence(4000);
    web.start();
    OfficialSite site;
    site.baseUrl = velmo::testsupport::scriptedUrl(web, "velmo-maj/");
    ToolsFolder tools;
    tools.setInstalledScript(2000000);
    UpdaterState state;
    state.checkLimitMs = 800;
    RecordingReporter reporter;
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(checkForUpdates(state, site, reporter), CheckOutcome::ProgramEnds);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(2500));
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_TRUE(reporter.boxes[0].fatal);
    EXPECT_TRUE(state.applyLocked);
}

// Whoever answers for the official site must not be able to choose what is installed: a
// version list or a description that is not the publisher's, byte for byte and file for
// file, is refused with the one box that says the update could not be verified, nothing
// further is downloaded, nothing can be installed, and the journal says why.
TEST(VersionCheck, WhatThePublisherDidNotSignIsRefused) {
    const std::string list = "_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg";
    const std::string description = "maj_2010000/_Fichier_Maj_xxx.pcfg";
    auto flipOneByte = [](OfficialSiteOnPeer& o, const std::string& path) {
        std::string bytes = velmo::testing::readBytes(o.web.root() + "/velmo-maj/" + path);
        bytes[bytes.size() / 2] ^= 1;
        o.web.writeFile("velmo-maj/" + path, bytes);
    };
    auto sigOf = [](OfficialSiteOnPeer& o, const std::string& path) {
        return velmo::testing::readBytes(o.web.root() + "/velmo-maj/" + path + ".sig");
    };
    const std::string listReason = "la signature du fichier \"" + list + "\" ";
    const std::string descriptionReason = "la signature du fichier \"_Fichier_Maj_xxx.pcfg\" ";
    const struct {
        const char* what;
        std::function<void(OfficialSiteOnPeer&)> tamper;
        std::string reason;
        bool listAccepted;  // the description was asked for
    } cases[] = {
        {"the version list, one byte changed", [&](OfficialSiteOnPeer& o) { flipOneByte(o, list); },
         listReason + "ne correspond pas.", false},
        {"the description, one byte changed", [&](OfficialSiteOnPeer& o) { flipOneByte(o, description); },
         descriptionReason + "ne correspond pas.", true},
        {"the version list without its .sig",
         [&](OfficialSiteOnPeer& o) { std::filesystem::remove(o.web.root() + "/velmo-maj/" + list + ".sig"); },
         listReason + "est absente du site officiel.", false},
        {"the description without its .sig",
         [&](OfficialSiteOnPeer& o) { std::filesystem::remove(o.web.root() + "/velmo-maj/" + description + ".sig"); },
         descriptionReason + "est absente du site officiel.", true},
        {"the version list signed by another key",
         [&](OfficialSiteOnPeer& o) {
             o.publishSigned(list, velmo::testing::readBytes(o.web.root() + "/velmo-maj/" + list), SigningKey::other());
         },
         listReason + "ne correspond pas.", false},
        {"the description beside the signature of the version list",
         [&](OfficialSiteOnPeer& o) { o.web.writeFile("velmo-maj/" + description + ".sig", sigOf(o, list)); },
         descriptionReason + "ne correspond pas.", true},
        {"an older signed package, description and signature, in the newer one's folder",
         [&](OfficialSiteOnPeer& o) {
             o.publishPackage(2000005, smallPackage());
             o.web.writeFile("velmo-maj/" + description,
                             velmo::testing::readBytes(o.web.root() + "/velmo-maj/maj_2000005/_Fichier_Maj_xxx.pcfg"));
             o.web.writeFile("velmo-maj/" + description + ".sig", sigOf(o, "maj_2000005/_Fichier_Maj_xxx.pcfg"));
         },
         descriptionReason + "ne correspond pas.", true},
        {"a signed description that installs an older version",
         [&](OfficialSiteOnPeer& o) {
             Package old = smallPackage();
             old.describedVersion = 2000005;
             o.publishPackage(2010000, old);
         },
         "le fichier \"_Fichier_Maj_xxx.pcfg\" décrit la version 2.0.5 et non la version 2.10.0.", true},
        {"a signed description without digests",
         [&](OfficialSiteOnPeer& o) {
             Package bare = smallPackage();
             bare.withDigests = false;
             o.publishPackage(2010000, bare);
         },
         "le fichier \"_Fichier_Maj_xxx.pcfg\" ne donne pas l'empreinte de chacun des fichiers.", true},
    };
    for (const auto& c : cases) {
        OfficialSiteOnPeer official;
        official.publishList({{2000000, 1000000}, {2010000, 1000000}});
        official.publishPackage(2010000, smallPackage());
        c.tamper(official);
        ToolsFolder tools;
        tools.setInstalledScript(2000000);
        tools.setUpdaterVersion(1000000);
        RecordingReporter reporter;
        UpdaterState state;
        EXPECT_EQ(checkForUpdates(state, official.site(), reporter), CheckOutcome::Refused) << c.what;
        EXPECT_EQ(reporter.boxes.size(), 1u) << c.what;
        if (reporter.boxes.empty()) reporter.boxes.push_back({});
        EXPECT_FALSE(reporter.boxes[0].fatal) << c.what;
        EXPECT_EQ(reporter.boxes[0].title, "ATTENTION.") << c.what;
        EXPECT_EQ(reporter.boxes[0].text,
                  "La mise à jour n'a pas pu être vérifiée : " + c.reason +
                      "\r\n\r\nElle ne vient peut-être pas du site officiel, ou elle a été modifiée en chemin. Rien "
                      "n'a été envoyé sur votre serveur et votre version n'a pas été changée.\r\n"
                      "Tentez à nouveau de vérifier les mises à jour plus tard ; si cela se répète, contactez le "
                      "webmaster du site officiel.\r\n[Distant - Erreur : MAJNV]")
            << c.what;
        EXPECT_TRUE(reporter.rows.empty()) << c.what;
        EXPECT_FALSE(state.offer) << c.what;
        EXPECT_TRUE(state.applyLocked) << c.what;
        EXPECT_EQ(std::filesystem::exists(tools.dir / "misesAJour/maj_2010000"), c.listAccepted) << c.what;
        EXPECT_FALSE(std::filesystem::exists(tools.dir / "misesAJour/maj_2010000/livre_lire.php")) << c.what;
        const std::string journal = tools.dir.readFile("softwareDatas/log-erreur-Update.txt");
        EXPECT_NE(journal.find("Mise à jour non vérifiée : " + c.reason + "\r\n"), std::string::npos)
            << c.what << "\n" << journal;
    }
}

// The demo site as scripts/sign_update.py signed it (PyNaCl on one side, libsodium here):
// the two must agree on the signed bytes, the .sig line and the digest group, or the demo
// and every publisher's site would be refused.
TEST(VersionCheck, TheSignersDemoSiteIsAccepted) {
    OfficialSiteOnPeer official;
    std::filesystem::copy(std::string(VELMO_TEST_KEYS_DIR) + "/../../sample/site-officiel/velmo-maj",
                          official.web.root() + "/velmo-maj", std::filesystem::copy_options::recursive);
    ToolsFolder tools;
    tools.setInstalledScript(2000000);
    tools.setUpdaterVersion(1000000);
    RecordingReporter reporter;
    UpdaterState state;
    EXPECT_EQ(checkForUpdates(state, official.site(), reporter), CheckOutcome::UpdateOffered);
    EXPECT_TRUE(reporter.boxes.empty());
    ASSERT_TRUE(state.offer);
    EXPECT_EQ(state.offer->description.version, 2010000);
    EXPECT_EQ(state.offer->description.digests.size(), 4u);
    EXPECT_EQ(reporter.rows.size(), 4u);
}
