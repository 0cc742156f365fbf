// What the backup tests share: an installed guestbook on a real FTP server's disk, the
// files a backup of it must bring home, and the reader of a local backup folder.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "ftp/control_channel.h"
#include "settings/connection_settings.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/scratch_folder.h"

namespace velmo::backup::testing {

namespace stdfs = std::filesystem;

// Bytes that a text-mode transfer or a short read would damage: CR, LF, NUL, high bytes,
// spread over several 4096-byte chunks for the larger files.
inline std::string contentOf(const std::string& name, std::size_t size) {
    std::string data = "<?php // " + name + " ?>\r\n";
    for (std::size_t i = 0; data.size() < size; ++i)
        data += static_cast<char>((i * 131 + name.size() * 7 + (i >> 9)) & 0xFF);
    return data;
}

// An installed guestbook in <home>/livre-dor, server path -> bytes: two skins with their
// settings, images, "index.php", a "Thumbs.db" and a sub-folder of old images; a file
// beside the skins; the personal files with "index.php", "code_ecrit.php" and the
// sub-folder "save".
inline std::map<std::string, std::string> guestbookOnServer() {
    std::map<std::string, std::string> files;
    auto add = [&](const std::string& path, std::size_t size) { files[path] = contentOf(path, size); };
    add("livre-dor/livre_lire.php", 300);
    add("livre-dor/skins/index.php", 120);
    for (const char* skin : {"bleu", "rouge"}) {
        const std::string s = std::string("livre-dor/skins/") + skin;
        add(s + "/cfg_variables.php", 2500);
        add(s + "/style.css", 800);
        add(s + "/imgs/fond.gif", 9000);
        add(s + "/imgs/index.php", 90);
        add(s + "/imgs/anciennes/fond_2009.gif", 700);
    }
    add("livre-dor/skins/bleu/imgs/coin gauche.png", 5000);
    add("livre-dor/skins/bleu/imgs/Thumbs.db", 1024);
    add("livre-dor/chmod_perso/index.php", 80);
    add("livre-dor/chmod_perso/code_ecrit.php", 400);
    add("livre-dor/chmod_perso/livre.txt", 70000);
    add("livre-dor/chmod_perso/mdp.php", 200);
    add("livre-dor/chmod_perso/save/sauvegarde_livre.txt", 3000);
    return files;
}

inline void putOnServer(const testsupport::FtpPeer& peer, const std::map<std::string, std::string>& files) {
    for (const auto& [path, bytes] : files) {
        const stdfs::path p = stdfs::path(peer.home()) / path;
        stdfs::create_directories(p.parent_path());
        velmo::testing::writeBytes(p, bytes);
    }
}

// What a whole backup brings home from guestbookOnServer: local path inside the backup
// folder -> server path.
inline std::map<std::string, std::string> wholeBackup() {
    std::map<std::string, std::string> m;
    for (const char* skin : {"bleu", "rouge"}) {
        const std::string s = std::string("skins/") + skin;
        m[s + "/cfg_variables.php"] = "livre-dor/" + s + "/cfg_variables.php";
        m[s + "/imgs/fond.gif"] = "livre-dor/" + s + "/imgs/fond.gif";
    }
    m["skins/bleu/imgs/coin gauche.png"] = "livre-dor/skins/bleu/imgs/coin gauche.png";
    m["chmod_perso/livre.txt"] = "livre-dor/chmod_perso/livre.txt";
    m["chmod_perso/mdp.php"] = "livre-dor/chmod_perso/mdp.php";
    return m;
}

// Every file below `root`, relative, with its bytes; folders as "name/" -> "".
inline std::map<std::string, std::string> treeOf(const stdfs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : stdfs::recursive_directory_iterator(root)) {
        const std::string rel = stdfs::relative(e.path(), root).generic_string();
        if (e.is_directory()) out[rel + "/"] = "";
        else out[rel] = velmo::testing::readBytes(e.path());
    }
    return out;
}

// The folder tree and bytes a backup folder must hold: the files of `wanted` (local ->
// server path) with the server's bytes, their folders, and `emptyFolders`.
inline std::map<std::string, std::string> expectedTree(const std::map<std::string, std::string>& wanted,
                                                       const std::map<std::string, std::string>& server,
                                                       std::set<std::string> emptyFolders = {}) {
    std::map<std::string, std::string> out;
    for (const std::string& f : emptyFolders) out[f] = "";
    for (const auto& [local, remote] : wanted) {
        out[local] = server.at(remote);
        for (stdfs::path p = stdfs::path(local).parent_path(); !p.empty(); p = p.parent_path())
            out[p.generic_string() + "/"] = "";
    }
    return out;
}

// Same paths, same bytes; a failure names the paths, never dumps the bytes.
inline void expectSameTree(const std::map<std::string, std::string>& got,
                           const std::map<std::string, std::string>& want) {
    std::set<std::string> gotPaths, wantPaths, differing;
    for (const auto& [path, bytes] : got) gotPaths.insert(path);
    for (const auto& [path, bytes] : want) {
        wantPaths.insert(path);
        if (got.contains(path) && got.at(path) != bytes) differing.insert(path);
    }
    EXPECT_EQ(gotPaths, wantPaths);
    EXPECT_EQ(differing, std::set<std::string>{}) << "files whose bytes differ from the server's";
}

inline ConnectionSettings settingsFor(const testsupport::FtpPeer& peer, int passive = 1,
                                      const std::string& folder = "livre-dor") {
    return ConnectionSettings{peer.host(), peer.user(), peer.password(), folder, 0, passive, peer.port()};
}

// Waits until the server has dropped an idle session that started now (a witness of our
// own): one opened before it by the program has been dropped by then too.
inline bool idleDropSeen(const testsupport::FtpPeer& peer, int limitSeconds) {
    ftp::ControlChannel witness(5000);
    if (!witness.connect(peer.host(), peer.port()) ||
        witness.login(peer.user(), peer.password()) != ftp::CommandAccepted)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    while (std::chrono::steady_clock::now() < deadline)
        if (ftp::replyCode(witness.readReply(100)) == "421") return true;
    return false;
}

}  // namespace velmo::backup::testing
