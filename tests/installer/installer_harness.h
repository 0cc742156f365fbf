// What the installer's run tests share: a temporary folder laid out like `Tools` (the
// shipped sample guestbook beside the program, an empty softwareDatas), the installer's
// state on the headless UI with its main window built the way start-up builds it, and
// readers of what a run left on the server and on disk.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "installer/guestbook_manifest.h"
#include "installer/installer_app.h"
#include "installer/upload_engine.h"
#include "tests/support/ftp_peers.h"
#include "ui/headless/headless_ui.h"

namespace velmo::installer::testing {

namespace stdfs = std::filesystem;
using ui::MessageBoxResult;
using ui::MessageIcon;

inline std::string readFile(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const stdfs::path& p, const std::string& data) { std::ofstream(p, std::ios::binary) << data; }

inline const stdfs::path& sampleGuestbook() {
    static const stdfs::path p = stdfs::path(SAMPLE_GUESTBOOK_PARENT) / "livre-dor";
    return p;
}

// A working folder like `Tools`: livre-dor (a link to the shipped sample, or a copy of it
// for a test that changes it) and an empty softwareDatas; the test runs inside it.
struct ToolsFolder {
    explicit ToolsFolder(bool copySample = false) : previous(stdfs::current_path()) {
        char tmpl[] = "/tmp/velmo-tools-XXXXXX";
        dir = mkdtemp(tmpl);
        if (copySample) stdfs::copy(sampleGuestbook(), dir / "livre-dor", stdfs::copy_options::recursive);
        else stdfs::create_directory_symlink(sampleGuestbook(), dir / "livre-dor");
        stdfs::create_directory(dir / "softwareDatas");
        stdfs::current_path(dir);
    }
    ~ToolsFolder() {
        stdfs::current_path(previous);
        std::error_code ec;
        stdfs::remove_all(dir, ec);
    }
    std::string settings() const { return readFile(dir / "softwareDatas/config.pcfg"); }
    bool hasSettings() const { return stdfs::exists(dir / "softwareDatas/config.pcfg"); }
    std::string journal() const { return readFile(dir / "softwareDatas/log-erreur.txt"); }
    bool hasJournal() const { return stdfs::exists(dir / "softwareDatas/log-erreur.txt"); }
    stdfs::path previous, dir;
};

// The installer as start-up leaves it: main window built, tree list filled, the texts
// made once. The test thread owns the main window, so it plays the main loop.
struct Installer {
    explicit Installer(bool themedFileBar = false) {
        EXPECT_TRUE(loadInstallerPictures(pictures));
        app = std::make_unique<InstallerApp>(ui, pictures);
        app->themedFileBar = themedFileBar;
        app->permissionHelpText = buildPermissionHelpText();
        app->connectionErrorText = buildConnectionErrorText();
        std::vector<std::string> lines;
        app->manifest = scanManifest(lines);
        buildMainWindow(*app);
        for (const std::string& l : lines) ui.addLine(ids::mainWindow, ids::treeList, l);
    }
    ~Installer() { waitForWorkers(); }

    void fillForm(const testsupport::FtpPeer& peer, const std::string& folder, bool passive, bool chmod) {
        fillForm(peer.host(), peer.user(), peer.password(), peer.port(), folder, passive, chmod);
    }
    void fillForm(const std::string& host, const std::string& user, const std::string& password, int port,
                  const std::string& folder, bool passive, bool chmod) {
        ui.setText(ids::mainWindow, ids::addressField, host);
        ui.setText(ids::mainWindow, ids::userField, user);
        ui.setText(ids::mainWindow, ids::passwordField, password);
        ui.setText(ids::mainWindow, ids::folderField, folder);
        ui.setText(ids::mainWindow, ids::portField, std::to_string(port));
        ui.setChecked(ids::mainWindow, ids::passiveBox, passive);
        ui.setChecked(ids::mainWindow, ids::chmodBox, chmod);
        if (chmod) createChmodPanel(*app);
        setTreeRootLine(*app, folder);
    }

    // What "Valider" does before the engine thread reads the form.
    void pressValidate() {
        ui.setEnabled(ids::mainWindow, ids::validateButton, false);
        setFormEnabled(*app, false);
        startTransfer(*app);
    }

    // The link generator opens in the engine thread at the end of a run processed whole;
    // a user closes it.
    bool closeLinkGenerator() {
        if (!ui.waitUntil([&] { return ui.windowExists(ids::linkGeneratorWindow); }, std::chrono::seconds(60)))
            return false;
        return ui.closeBox(ids::linkGeneratorWindow);
    }

    std::vector<ui::ShownBox> boxesTitled(const std::string& title) const {
        std::vector<ui::ShownBox> out;
        for (const ui::ShownBox& b : ui.shownBoxes())
            if (b.title == title) out.push_back(b);
        return out;
    }

    ui::HeadlessUi ui;
    InstallerPictures pictures;
    std::unique_ptr<InstallerApp> app;
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
// folder's own files; each file mapped to the local copy it must equal.
struct ExpectedTree {
    std::set<std::string> entries;
    std::map<std::string, stdfs::path> files;
};
inline ExpectedTree expectedTree(const std::string& folder) {
    ExpectedTree t;
    t.entries = {"sessions/", folder + "/"};
    for (const auto& e : stdfs::recursive_directory_iterator(sampleGuestbook())) {
        const stdfs::path rel = stdfs::relative(e.path(), sampleGuestbook());
        const std::string remote = folder + "/" + rel.generic_string();
        if (e.is_directory()) t.entries.insert(remote + "/");
        else if (e.path().filename() != "Thumbs.db" && rel.parent_path() != "langues") {
            t.entries.insert(remote);
            t.files[remote] = e.path();
        }
    }
    return t;
}

// The remote tree equals the guestbook's, byte for byte, and holds nothing else.
inline void expectWholeGuestbook(const testsupport::FtpPeer& peer, const std::string& folder) {
    const ExpectedTree want = expectedTree(folder);
    EXPECT_EQ(want.files.size(), 309u);
    EXPECT_EQ(treeBelow(peer.home()), want.entries);
    int differing = 0;
    for (const auto& [rel, local] : want.files)
        if (readFile(stdfs::path(peer.home()) / rel) != readFile(local)) {
            ADD_FAILURE() << rel << " differs from " << local;
            if (++differing > 5) break;
        }
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

}  // namespace velmo::installer::testing
