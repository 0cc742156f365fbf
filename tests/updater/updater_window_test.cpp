// Velmo_Maj as a user meets it, on the headless UI: the real start-up and loop in a thread
// of their own, the official site on nginx and the guestbook on pyftpdlib. The test clicks
// and reads the window; every message box must be one the script foresaw.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <future>
#include <set>
#include <thread>

#include "tests/support/ftp_peers.h"
#include "tests/support/program_thread.h"
#include "tests/support/scripted_http.h"
#include "tests/support/scripted_server.h"
#include "tests/support/tools_tls.h"
#include "tests/updater/updater_harness.h"
#include "ui/headless/headless_ui.h"
#include "updater/window/updater_window.h"
#include "updater/window/window_reporter.h"

using namespace velmo;
using namespace velmo::updater;
using namespace velmo::updater::testing;

namespace {

class UpdaterWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (program.running()) program.closeWithoutLauncher();
        velmo::testing::expectWorkersEnded();
        velmo::testing::expectBoxScriptMet(ui);
        // The worker's boxes too are the window's: shown by its own thread, never by a worker.
        for (const ui::ShownBox& box : ui.shownBoxes())
            EXPECT_TRUE(loopThreads.count(box.thread)) << "shown outside the window's thread: " << box.text;
    }

    // The program up to its window.
    void start() { start(official.site()); }
    void start(const OfficialSite& site) {
        const bool started = program.start([this, site] { return runUpdater(ui, site); });
        loopThreads.insert(program.lastThreadId());
        ASSERT_TRUE(started);
    }
    // A start-up that ends the program by itself, without a window; its exit code.
    int runToEnd() {
        const int exitCode = program.runToEnd([this] { return runUpdater(ui, official.site()); });
        loopThreads.insert(program.lastThreadId());
        return exitCode;
    }
    bool waitFor(const std::function<bool()>& condition) { return ui.waitUntil(condition); }
    std::string text(int id) { return ui.getText(ids::mainWindow, id); }
    ui::Colour colour(int id) { return ui.control(ids::mainWindow, id)->colour; }
    bool idle() {
        return ui.isEnabled(ids::mainWindow, ids::checkButton) && ui.isEnabled(ids::mainWindow, ids::applyButton);
    }
    // Chooses the installation tab; when it is locked, the box comes and the first tab is back.
    void chooseLockedTab(const char* message) {
        const std::size_t boxes = ui.shownBoxes().size();
        ui.expectBox("Information.", message);
        ASSERT_TRUE(ui.chooseTab(ids::mainWindow, ids::tabs, applyTab));
        ASSERT_TRUE(waitFor([&] { return ui.shownBoxes().size() > boxes; }));
        EXPECT_EQ(ui.shownBoxes().back().text, message);
        EXPECT_EQ(ui.selectedTab(ids::mainWindow, ids::tabs), checkTab);
    }
    void endProgram() { EXPECT_EQ(program.waitForEnd(), 0); }

    OfficialSiteOnPeer official;
    ToolsFolder tools;
    ui::HeadlessUi ui;
    velmo::testing::ProgramThread program{ui, ids::mainWindow};
    std::set<std::thread::id> loopThreads;  // every thread that ran the program's loop
};

}  // namespace

TEST_F(UpdaterWindowTest, CheckInstallAndTheLockOfTheInstallationTab) {
    testsupport::FtpPeer ftp(testsupport::PeerKind::Pyftpdlib);
    ftp.makeFolder("livre-dor");
    Package p;
    p.lines = {"Correction."};
    p.files = {"livre_lire.velmo", "skins/fond.velmo"};
    p.folders = {"skins/"};
    p.contents = {{"livre_lire.velmo", "lire"}, {"skins/fond.velmo", "fond"}};
    official.publishList({{2000000, 1000000}, {2010000, 1000000}});
    official.publishPackage(2010000, p);

    start();
    // The form is filled last at start.
    ASSERT_TRUE(waitFor([&] { return text(ids::addressField) == "old.example"; }));
    EXPECT_EQ(text(ids::installedValue), "2.0.0");
    EXPECT_EQ(ui.window(ids::mainWindow)->title, "Velmo, Maj - Vérification/Update des mises à jour.");
    EXPECT_EQ(text(ids::actionStatus), "Aucune action en cours.");
    EXPECT_EQ(text(ids::portField), "21");
    chooseLockedTab("Vous devez d'abord vérifier l'existence de mises à jour.");

    ASSERT_TRUE(ui.click(ids::mainWindow, ids::checkButton));
    ASSERT_TRUE(waitFor([&] { return ui.rowCount(ids::mainWindow, ids::fileList) == 2 && idle(); }));
    EXPECT_EQ(text(ids::latestValue), "2.10.0");
    EXPECT_EQ(text(ids::versionStatus), "Votre version n'est pas à jour.");
    for (int id : {ids::installedCaption, ids::installedValue, ids::latestCaption, ids::latestValue, ids::versionStatus})
        EXPECT_EQ(colour(id), (ui::Colour{255, 0, 0})) << id;
    EXPECT_EQ(text(ids::description), std::string(86, ' ') + "Une mise à jour est disponible.\r\n\r\nCorrection.\r\n");

    ASSERT_TRUE(ui.chooseTab(ids::mainWindow, ids::tabs, applyTab));
    ui.typeText(ids::mainWindow, ids::addressField, ftp.host());
    ui.typeText(ids::mainWindow, ids::userField, ftp.user());
    ui.typeText(ids::mainWindow, ids::passwordField, ftp.password());
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(ftp.port()));
    ui.typeText(ids::mainWindow, ids::folderField, "livre-dor");
    ui.expectBox("Information.", "La mise à jour à été effectuée.");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::applyButton));
    EXPECT_TRUE(waitFor([&] { return !ui.isEnabled(ids::mainWindow, ids::checkButton); })) << "one worker at a time";
    ASSERT_TRUE(waitFor([&] { return text(ids::actionStatus) == "Opérations terminées." && idle(); }));
    EXPECT_EQ(text(ids::installedValue), "2.10.0");
    EXPECT_EQ(text(ids::versionStatus), "Votre version est à jour.");
    for (int id : {ids::installedCaption, ids::installedValue, ids::latestCaption, ids::latestValue, ids::versionStatus})
        EXPECT_EQ(colour(id), (ui::Colour{0, 128, 0})) << id;
    const ui::ControlState list = *ui.control(ids::mainWindow, ids::fileList);
    for (const ui::RowState& row : list.rows) {
        EXPECT_EQ(row.cells[1], "Transféré.");
        EXPECT_EQ(row.colour, (ui::Colour{0, 102, 0}));
    }
    EXPECT_EQ(list.selected, 0) << "the last row selects the first again";

    // Installed: a new check is needed, and it finds nothing more.
    ASSERT_TRUE(ui.chooseTab(ids::mainWindow, ids::tabs, checkTab));
    chooseLockedTab("Vous devez d'abord vérifier l'existence de mises à jour.");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::checkButton));
    ASSERT_TRUE(waitFor([&] { return text(ids::description) != "" && idle(); }));
    EXPECT_EQ(text(ids::description), std::string(86, ' ') + "Aucune mise à jour de disponible.\r\n");
    chooseLockedTab("Il n'y a pas de mises à jour.");

    ui.expectBox("Information.", "Impossible de retourner au menu général.\r\n\r\nLe programme va donc se fermer.");
    ASSERT_TRUE(ui.closeBox(ids::mainWindow));
    endProgram();
}

// An installation onto a server that takes only encrypted logins, with a certificate no
// authority signed: the question comes once, for the session; its Yes carries the
// permission channel of the same run too, and is kept in the file the tools share.
TEST_F(UpdaterWindowTest, InstallsAndChangesModesOverTlsAfterOneQuestion) {
    const testsupport::ToolsTls tls;
    const auto ftp = tls.peer(testsupport::PeerKind::Vsftpd, testsupport::PeerOptions::Tls::Required);
    ftp->makeFolder("livre-dor");
    Package p;
    p.lines = {"Correction."};
    p.files = {"livre_lire.velmo", "skins/fond.velmo"};
    p.folders = {"skins/"};
    p.chmods = {"skins/", "livre_lire.php"};
    p.contents = {{"livre_lire.velmo", "<?php echo 'lire'; ?>\r\n"}, {"skins/fond.velmo", std::string(70000, '\x89')}};
    official.publishList({{2000000, 1000000}, {2010000, 1000000}});
    official.publishPackage(2010000, p);

    start();
    ASSERT_TRUE(waitFor([&] { return text(ids::addressField) == "old.example"; }));
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::checkButton));
    ASSERT_TRUE(waitFor([&] { return ui.rowCount(ids::mainWindow, ids::fileList) == 2 && idle(); }));
    ASSERT_TRUE(ui.chooseTab(ids::mainWindow, ids::tabs, applyTab));
    ui.typeText(ids::mainWindow, ids::addressField, ftp->host());
    ui.typeText(ids::mainWindow, ids::userField, ftp->user());
    ui.typeText(ids::mainWindow, ids::passwordField, ftp->password());
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(ftp->port()));
    ui.typeText(ids::mainWindow, ids::folderField, "livre-dor");
    ui.setChecked(ids::mainWindow, ids::chmodBox, true);
    ui.expectBox(testsupport::certificateQuestionTitle, testsupport::certificateQuestionStart(*ftp),
                 ui::MessageBoxResult::Yes);
    ui.expectBox("Information.", "La mise à jour à été effectuée.");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::applyButton));
    ASSERT_TRUE(waitFor([&] { return text(ids::actionStatus) == "Opérations terminées." && idle(); }))
        << ftp->serverOutput();
    EXPECT_EQ(text(ids::installedValue), "2.10.0");
    const std::string guestbook = ftp->home() + "/livre-dor/";
    EXPECT_EQ(velmo::testing::readBytes(guestbook + "livre_lire.php"), p.contents.at("livre_lire.velmo"));
    EXPECT_TRUE(velmo::testing::readBytes(guestbook + "skins/fond.php") == p.contents.at("skins/fond.velmo"));
    for (const char* target : {"skins", "livre_lire.php"}) {
        struct stat st {};
        ASSERT_EQ(::stat((guestbook + target).c_str(), &st), 0) << target;
        EXPECT_EQ(st.st_mode & 0777, 0777u) << target;
    }
    EXPECT_FALSE(std::filesystem::exists(tools.dir / "softwareDatas/log-erreur-Update.txt"));
    EXPECT_EQ(testsupport::knownServer(tools.dir.root, *ftp), (KnownServer{true, tls.selfSignedDer()}));

    ui.expectBox("Information.", "Impossible de retourner au menu général.\r\n\r\nLe programme va donc se fermer.");
    ASSERT_TRUE(ui.closeBox(ids::mainWindow));
    endProgram();
}

TEST_F(UpdaterWindowTest, ConditionsThatEndTheProgram) {
    // A version list the site does not have: the message, then the end, without the
    // launcher's message.
    start();
    ASSERT_TRUE(waitFor([&] { return text(ids::installedValue) == "2.0.0"; }));
    ui.expectBox("Avertissement.", "[Distant - Erreur : TFSALMSSO]");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::checkButton));
    endProgram();
    EXPECT_FALSE(ui.windowExists(ids::mainWindow));

    // No connection settings file: the message of the settings file, then the end.
    std::filesystem::remove(tools.dir / "softwareDatas/config.pcfg");
    ui.expectBox("Attention", "Vous devez d'abord utiliser le logiciel \"Velmo_Navigateur\"");
    EXPECT_EQ(runToEnd(), 0);

    // No "misesAJour": the local version file cannot be made.
    std::filesystem::remove_all(tools.dir / "misesAJour");
    ui.expectBox("ATTENTION.", "Impossible d'ouvrir le fichier \"__NumeroDeVersion_Script_Local.pcfg\".");
    EXPECT_EQ(runToEnd(), 0);
    EXPECT_EQ(ui.shownBoxes().size(), 3u);
}

// Closing the window while an installation sends its files asks first; Yes lets the file
// being sent finish, sends no other, records nothing, and only then returns to the
// launcher: every box the program shows has its window, none comes after it.
TEST_F(UpdaterWindowTest, ClosingDuringAnInstallationAsksThenStopsBetweenFiles) {
    Package p;
    p.files = {"a.velmo", "b.velmo"};
    p.contents = {{"a.velmo", "a"}, {"b.velmo", "b"}};
    official.publishList({{2000000, 1000000}, {2010000, 1000000}});
    official.publishPackage(2010000, p);
    testsupport::ScriptedServer ftp;
    ftp.reply("220 ready\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS pw\r\n").reply("230 Logged in\r\n")
        .expect("PWD\r\n").reply("257 \"/\"\r\n").expect("CWD livre-dor\r\n").reply("250 Okay\r\n")
        .expect("TYPE I\r\n").reply("200 Type set to I\r\n").expect("PASV\r\n").pasv()
        .expect("STOR a.php\r\n").reply("150 Ok to send data\r\n").acceptData().receiveData()
        // The close comes while the server is still storing a.php.
        .silence(1500).reply("226 Done\r\n");
    ftp.start();

    start();
    ASSERT_TRUE(waitFor([&] { return text(ids::addressField) == "old.example"; }));
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::checkButton));
    ASSERT_TRUE(waitFor([&] { return ui.rowCount(ids::mainWindow, ids::fileList) == 2 && idle(); }));
    ASSERT_TRUE(ui.chooseTab(ids::mainWindow, ids::tabs, applyTab));
    ui.typeText(ids::mainWindow, ids::addressField, "127.0.0.1");
    ui.typeText(ids::mainWindow, ids::userField, "bob");
    ui.typeText(ids::mainWindow, ids::passwordField, "pw");
    ui.typeText(ids::mainWindow, ids::portField, std::to_string(ftp.port()));
    ui.typeText(ids::mainWindow, ids::folderField, "livre-dor");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::applyButton));
    ASSERT_TRUE(waitFor([&] { return text(ids::actionStatus) == "Envoie vers serveur : a.php"; }));

    ui.expectBox("Attention.", "Une mise à jour est en cours d'installation.", ui::MessageBoxResult::Yes);
    ui.expectBox("Information.", "Impossible de retourner au menu");
    ASSERT_TRUE(ui.closeBox(ids::mainWindow));
    EXPECT_TRUE(waitFor([&] { return text(ids::actionStatus) == "Arrêt en cours, veuillez patienter."; }));
    endProgram();
    EXPECT_TRUE(ftp.finish()) << ftp.report();
    EXPECT_EQ(ftp.received().find("b.php"), std::string::npos) << "no file after the stop";
    for (const ui::ShownBox& box : ui.shownBoxes()) EXPECT_EQ(box.ownerWindow, ids::mainWindow) << box.text;
    ASSERT_EQ(ui.shownBoxes().size(), 2u);
    EXPECT_EQ(ui.shownBoxes().back().title, "Information.") << "the launcher comes last";
    EXPECT_NE(tools.dir.readFile("misesAJour/__NumeroDeVersion_Script_Local.pcfg").find("= 2000000"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(tools.dir / "softwareDatas/log-erreur-Update.txt"));
}

// Closing during a check asks nothing (nothing is lost): the check stops once its download
// has ended, shows nothing more, and only then does the program return to the launcher.
TEST_F(UpdaterWindowTest, ClosingDuringACheckStopsItBeforeTheLauncher) {
    testsupport::ScriptedServer web;
    testsupport::expectGet(web, "/velmo-maj/_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg")
        .silence(1000)
        .reply("HTTP/1.1 200 OK\r\nContent-Length: 66\r\n\r\n"
               "[Grp_NumeroDeVersion_Exe_Script_SiteOfficiel]\r\n2010000 = 1000000\r\n")
        .drop();
    web.start();
    OfficialSite site;
    site.baseUrl = testsupport::scriptedUrl(web, "velmo-maj/");

    start(site);
    ASSERT_TRUE(waitFor([&] { return text(ids::addressField) == "old.example"; }));
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::checkButton));
    ASSERT_TRUE(waitFor([&] { return !idle(); }));
    ui.expectBox("Information.", "Impossible de retourner au menu");
    ASSERT_TRUE(ui.closeBox(ids::mainWindow));
    endProgram();
    EXPECT_TRUE(web.finish()) << web.report();
    EXPECT_EQ(web.connectionsAccepted(), 1) << "no description asked after the close";
    ASSERT_EQ(ui.shownBoxes().size(), 1u);
    EXPECT_EQ(ui.shownBoxes()[0].ownerWindow, ids::mainWindow);
    EXPECT_FALSE(std::filesystem::exists(tools.dir / "misesAJour/maj_2010000")) << "the check went no further";
}

// A worker reporting to a window that is gone (never built, or destroyed while its reports
// waited) changes nothing and shows nothing, and a box it waits for answers at once: the
// worker ends instead of waiting for a thread that will never show it.
TEST(UpdaterWindowReports, AWindowGoneShowsNothingAndReleasesTheWorker) {
    ToolsFolder tools;
    ui::HeadlessUi ui;
    const auto app = std::make_shared<UpdaterApp>(ui, OfficialSite{});
    std::promise<void> done;
    std::thread worker([&] {
        PostingReporter reporter(app);
        reporter.setActionStatus("Envoie vers serveur : a.php");
        reporter.message({"Information.", "La mise à jour à été effectuée.", suite::NoticeKind::Information});
        reporter.fatal({"Avertissement.", "[Distant - Erreur : TFSALMSSO]", suite::NoticeKind::Error});
        done.set_value();
    });
    const bool ended = done.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    if (!ended) {
        worker.detach();
        FAIL() << "the worker still waits for a box no window will show";
    }
    worker.join();
    EXPECT_TRUE(ui.shownBoxes().empty());
    EXPECT_EQ(ui.failures(), std::vector<std::string>{});
}
