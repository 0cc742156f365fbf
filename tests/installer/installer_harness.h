// What the installer tests share: a temporary folder laid out like `Tools` (the shipped
// sample guestbook beside the program, an empty softwareDatas) that is the current
// directory, readers of what a run left on the server and on disk, and two ways to drive
// the program on the headless UI, both its own start-up and main loop in a thread of
// their own: with its state at hand (Installer), or as a fixture around runInstaller.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "installer/engine/guestbook_manifest.h"
#include "installer/window/installer_app.h"
#include "installer/window/installer_window.h"
#include "installer/engine/upload_engine.h"
#include "platform/worker.h"
#include "settings/connection_settings.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/program_thread.h"
#include "tests/support/scratch_folder.h"
#include "ui/headless/headless_ui.h"

namespace velmo::installer::testing {

namespace stdfs = std::filesystem;
using ui::MessageBoxResult;
using ui::MessageIcon;

inline std::string readFile(const stdfs::path& p) { return velmo::testing::readBytes(p); }
inline void writeFile(const stdfs::path& p, const std::string& data) { velmo::testing::writeBytes(p, data); }

inline const stdfs::path sampleGuestbook() { return stdfs::path(SAMPLE_GUESTBOOK_PARENT) / "livre-dor"; }

// livre-dor is a link to the shipped sample, or a copy of it for a test that changes it.
// `Tools` has a parent of its own, so that no launcher is ever found beside it.
struct ToolsFolder {
    explicit ToolsFolder(bool copySample = false) {
        stdfs::create_directory(dir);
        if (copySample) stdfs::copy(sampleGuestbook(), dir / "livre-dor", stdfs::copy_options::recursive);
        else stdfs::create_directory_symlink(sampleGuestbook(), dir / "livre-dor");
        stdfs::create_directory(dir / "softwareDatas");
        scratch.enter("Tools");
    }
    std::string settings() const { return readFile(dir / "softwareDatas/config.pcfg"); }
    bool hasSettings() const { return stdfs::exists(dir / "softwareDatas/config.pcfg"); }
    std::string journal() const { return readFile(dir / "softwareDatas/log-erreur.txt"); }
    bool hasJournal() const { return stdfs::exists(dir / "softwareDatas/log-erreur.txt"); }
    velmo::testing::ScratchFolder scratch;
    const stdfs::path root = scratch.root, dir = root / "Tools";
};

// Waits for every worker; a worker still running after a minute fails the test.
inline void waitForWorkers() { velmo::testing::expectWorkersEnded(); }

// Waits until the program's main loop has handled everything the user did so far: it
// answers "Infos" (the permission help) only after that. Needs the form enabled.
inline void settleMainLoop(ui::HeadlessUi& ui) {
    auto helpBoxes = [&] {
        std::size_t n = 0;
        for (const ui::ShownBox& b : ui.shownBoxes()) n += b.text.rfind("Chez certains hébergeurs", 0) == 0;
        return n;
    };
    const std::size_t before = helpBoxes();
    ui.expectBox("Information.", "Chez certains hébergeurs");
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::infoButton));
    ASSERT_TRUE(ui.waitUntil([&] { return helpBoxes() > before; }));
}

// The program's own start-up and main loop in a thread of their own, the test acting as
// the user, with the program's state at hand.
struct Installer {
    explicit Installer(bool themedFileBar = false) : app(makeInstaller(ui, themedFileBar)) {
        EXPECT_TRUE(program.start([this] { return runInstaller(app); })) << "the installer did not start";
        settleMainLoop(ui);  // the window's opening (tree list, settings) is handled
    }
    ~Installer() {
        end();
        waitForWorkers();
    }

    // The user fills the form ("Chmod." ticked by a click, which shows the help).
    void fillForm(const testsupport::FtpPeer& peer, const std::string& folder, bool passive, bool chmod,
                  const char* password = nullptr) {
        ui.setText(ids::mainWindow, ids::addressField, peer.host());
        ui.setText(ids::mainWindow, ids::userField, peer.user());
        ui.setText(ids::mainWindow, ids::passwordField, password ? password : peer.password());
        ui.typeText(ids::mainWindow, ids::folderField, folder);
        ui.setText(ids::mainWindow, ids::portField, std::to_string(peer.port()));
        ui.setChecked(ids::mainWindow, ids::passiveBox, passive);
        if (chmod != ui.isChecked(ids::mainWindow, ids::chmodBox)) {
            if (chmod) ui.expectBox("Information.", "Chez certains hébergeurs");
            ui.click(ids::mainWindow, ids::chmodBox);
        }
        settleMainLoop(ui);
    }

    void pressValidate() {
        boxesAtValider = ui.shownBoxes().size();
        ASSERT_TRUE(ui.click(ids::mainWindow, ids::validateButton));
    }
    void pressCancel() { ASSERT_TRUE(ui.click(ids::mainWindow, ids::cancelButton)); }

    // The link generator opens at the end of a run processed whole; a user closes it and
    // the main loop gives the main window back.
    bool closeLinkGenerator() {
        if (!ui.waitUntil([&] { return ui.windowExists(ids::linkGeneratorWindow); }, std::chrono::seconds(60)))
            return false;
        return ui.closeBox(ids::linkGeneratorWindow) && ui.waitUntil([&] {
                   return !ui.windowExists(ids::linkGeneratorWindow) && ui.isWindowEnabled(ids::mainWindow) &&
                          (app->uploadRunning || formIsBack());
               });
    }

    // Waits until the main loop has finished a run that gives the form back at once (one
    // that sent nothing, or was stopped): every such run shows a box, and "Valider" comes
    // back last.
    bool waitForRunEnd() {
        return ui.waitUntil([&] {
            return ui.shownBoxes().size() > boxesAtValider && !app->uploadRunning &&
                   ui.isEnabled(ids::mainWindow, ids::validateButton);
        }, std::chrono::seconds(60));
    }
    // "Infos" is the last of the form to come back (after the link generator).
    bool formIsBack() { return ui.isEnabled(ids::mainWindow, ids::infoButton); }

    // The user closes the main window; without a launcher beside `Tools` the program
    // says so and ends.
    void end() {
        if (!program.running()) return;
        if (ui.windowExists(ids::linkGeneratorWindow)) closeLinkGenerator();
        program.closeWithoutLauncher();
    }

    // Every box was foreseen and met.
    void expectScriptMet() const { velmo::testing::expectBoxScriptMet(ui); }

    std::vector<ui::ShownBox> boxesTitled(const std::string& title) const {
        std::vector<ui::ShownBox> out;
        for (const ui::ShownBox& b : ui.shownBoxes())
            if (b.title == title) out.push_back(b);
        return out;
    }

    ui::HeadlessUi ui;
    std::shared_ptr<InstallerApp> app;
    velmo::testing::ProgramThread program{ui, ids::mainWindow};
    std::size_t boxesAtValider = 0;
};

// Every folder and file under `root`, relative, folders ending in "/".
inline std::set<std::string> treeBelow(const stdfs::path& root) {
    std::set<std::string> out;
    for (const auto& e : stdfs::recursive_directory_iterator(root)) {
        std::string rel = stdfs::relative(e.path(), root).generic_string();
        out.insert(e.is_directory() ? rel + "/" : rel);
    }
    return out;
}

// What the login directory must hold after a whole install into `folder`: "sessions", and
// the sample's tree below `folder` without "Thumbs.db" and without the local langues
// folder's own files.
inline std::set<std::string> expectedTree(const std::string& folder) {
    std::set<std::string> t = {"sessions/", folder + "/"};
    for (const auto& e : stdfs::recursive_directory_iterator(sampleGuestbook())) {
        const stdfs::path rel = stdfs::relative(e.path(), sampleGuestbook());
        if (e.is_directory()) t.insert(folder + "/" + rel.generic_string() + "/");
        else if (e.path().filename() != "Thumbs.db" && rel.parent_path() != "langues")
            t.insert(folder + "/" + rel.generic_string());
    }
    return t;
}

// The remote tree equals the guestbook's, each file byte for byte, and holds nothing else.
inline void expectWholeGuestbook(const testsupport::FtpPeer& peer, const std::string& folder) {
    const std::set<std::string> want = expectedTree(folder);
    EXPECT_EQ(treeBelow(peer.home()), want);
    int files = 0, differing = 0;
    for (const std::string& rel : want) {
        if (rel.back() == '/') continue;
        ++files;
        const stdfs::path local = sampleGuestbook() / rel.substr(folder.size() + 1);
        if (readFile(stdfs::path(peer.home()) / rel) != readFile(local) && ++differing <= 5)
            ADD_FAILURE() << rel << " differs from " << local;
    }
    EXPECT_EQ(files, 309);
}

inline std::string expectedSettings(const testsupport::FtpPeer& peer, const std::string& folder, int chmod,
                                    int passive) {
    return "transfert = 1\r\nFTP_adresse = " + peer.host() + "\r\nFTP_iDUseur = " + peer.user() +
           "\r\nFTP_infoChmod = " + std::to_string(chmod) + "\r\nFTP_modeConnexion = " + std::to_string(passive) +
           "\r\nFTP_portConnexion = " + std::to_string(peer.port()) + "\r\nRepertoireDuLivreDor = " + folder +
           "\r\n";
}

inline int modeOf(const stdfs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 0777);
}

// The real program in a thread of its own, the test acting as the user. What it opens with
// the shell (browser links) is written, one line per opening, to "opened.txt".
class InstallerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string recorder = (tools.dir / "record-open.sh").string();
        std::ofstream(recorder) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << (tools.dir / "opened.txt").string()
                                << "'\n";
        stdfs::permissions(recorder, stdfs::perms::owner_all);
        setenv("VELMO_OPEN_COMMAND", recorder.c_str(), 1);
    }

    void TearDown() override {
        if (program.running()) {  // a test that stopped half-way still ends the program
            if (ui.closeBox(ids::linkGeneratorWindow)) ui.waitUntil([&] { return ui.isWindowEnabled(ids::mainWindow); });
            program.closeWithoutLauncher();
        }
        waitForWorkers();
        EXPECT_EQ(ui.failures(), std::vector<std::string>{}) << "unexpected message boxes";
        unsetenv("VELMO_OPEN_COMMAND");
    }

    // Written by the settings module itself, which always stores transfert = 1.
    void withSettings(const ConnectionSettings& s) { ASSERT_TRUE(saveConnectionSettings(Tool::Installer, s)); }

    // Starts the program and waits until its loop runs.
    void start() {
        ASSERT_TRUE(program.start([this] { return runInstaller(ui); }));
        settle();
    }

    void settle() { settleMainLoop(ui); }

    // The user closes the main window; without a launcher beside `Tools` the program
    // says so and ends.
    void closeProgram() {
        ASSERT_TRUE(program.closeWithoutLauncher());
        EXPECT_EQ(program.exitCode(), 0);
    }

    // The shell's openings are done by other processes: polled until they are all there.
    std::string waitForOpened(const std::string& expected) const {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::string got = readFile(tools.dir / "opened.txt");
        for (; got.size() < expected.size() && std::chrono::steady_clock::now() < limit;
             got = readFile(tools.dir / "opened.txt"))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return got;
    }

    std::string text(int id) { return ui.getText(ids::mainWindow, id); }

    ToolsFolder tools;
    ui::HeadlessUi ui;
    velmo::testing::ProgramThread program{ui, ids::mainWindow};
};

}  // namespace velmo::installer::testing
