// What the updater's engine tests share: a reporter that records everything the engines
// tell the window, a `Tools` folder as the suite delivers it (the current directory while
// a test runs), and an official site published on a real HTTP server.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/http_peers.h"
#include "tests/support/scratch_folder.h"
#include "tests/updater/site_signing.h"
#include "updater/engine/official_site.h"
#include "updater/engine/updater_reporter.h"

namespace velmo::updater {

// Row states by name in a failed expectation.
inline void PrintTo(FileState state, std::ostream* os) {
    const char* names[] = {"ToUpdate", "Received", "Sent", "Failed", "Tampered"};
    *os << names[static_cast<int>(state)];
}

}  // namespace velmo::updater

namespace velmo::updater::testing {

struct Box {
    std::string title, text;
    suite::NoticeKind icon;
    bool fatal;
};

// What the engines report, as they report it (numbers, states, announcements): how the
// window shows it is the window test's matter.
class RecordingReporter : public UpdaterReporter {
public:
    std::int32_t installed = 0, latest = 0;  // 0: never reported
    int statusCalls = 0;
    bool upToDate = false;
    // The description area; an announcement is recorded as "<NoUpdate>" or "<UpdateAvailable>".
    std::vector<std::string> description;
    std::vector<std::pair<std::string, FileState>> rows;  // server name, state
    std::vector<std::string> actions;
    std::vector<std::pair<int, FileState>> rowChanges;  // every state change, in order
    std::vector<Box> boxes;

    void installedVersionKnown(std::int32_t v) override { installed = v; }
    void latestVersionKnown(std::int32_t v) override { latest = v; }
    void versionsCompared(bool ok) override {
        ++statusCalls;
        upToDate = ok;
    }
    void clearDescription() override { description.clear(); }
    void announce(Announcement a) override {
        description.push_back(a == Announcement::NoUpdate ? "<NoUpdate>" : "<UpdateAvailable>");
    }
    void addDescriptionLine(const std::string& l) override { description.push_back(l); }
    void clearFileRows() override { rows.clear(); }
    void addFileRow(const std::string& name) override { rows.emplace_back(name, FileState::ToUpdate); }
    void fileStateChanged(int row, FileState state) override {
        ASSERT_GE(row, 0);
        ASSERT_LT(static_cast<std::size_t>(row), rows.size());
        rows[static_cast<std::size_t>(row)].second = state;
        rowChanges.emplace_back(row, state);
    }
    void setActionStatus(const std::string& t) override { actions.push_back(t); }
    void message(const suite::Notice& n) override { boxes.push_back({n.title, n.text, n.kind, false}); }
    void fatal(const suite::Notice& n) override { boxes.push_back({n.title, n.text, n.kind, true}); }

    std::vector<FileState> statuses() const {
        std::vector<FileState> out;
        for (const auto& r : rows) out.push_back(r.second);
        return out;
    }
};

// The updater's working directory: Tools with misesAJour/ and softwareDatas/ (and the
// connection settings file the window would have loaded).
struct ToolsFolder {
    velmo::testing::ScratchFolder dir{velmo::testing::ScratchFolder::Enter};
    explicit ToolsFolder(bool withWorkFolder = true) {
        std::filesystem::create_directories(dir / "softwareDatas");
        if (withWorkFolder) std::filesystem::create_directories(dir / "misesAJour");
        dir.writeFile("softwareDatas/config.pcfg", "transfert = 1\r\nFTP_adresse = old.example\r\n");
    }
    void setInstalledScript(std::int32_t version) const {
        dir.writeFile("misesAJour/__NumeroDeVersion_Script_Local.pcfg",
                      "[Grp_NumeroDeVersion_Script_Local]\r\nversionDuScript_Local = " + std::to_string(version) + "\r\n");
    }
    void setUpdaterVersion(std::int32_t version) const {
        dir.writeFile("misesAJour/__NumeroDeVersion_Exe_Local.pcfg",
                      "[Grp_NumeroDeVersion_Exe_Local]\r\nversionExecutableMaj_Local = " + std::to_string(version) + "\r\n");
    }
};

// One update package as the official site publishes it.
struct Package {
    std::vector<std::string> lines;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::vector<std::string> chmods;
    std::map<std::string, std::string> contents;  // package path -> bytes (missing: not published)
    // The version the description names (0: the version it is published for) and whether
    // it lists the files' digests, as the publisher's signing step writes them.
    std::int32_t describedVersion = 0;
    bool withDigests = true;

    // As published for `version` (0: without the groups the signing step adds).
    std::string descriptionText(std::int32_t version = 0) const {
        std::string t;
        auto group = [&t](const char* name, const std::vector<std::string>& values, const char* key) {
            t += std::string("[") + name + "]\r\n";
            for (std::size_t i = 0; i < values.size(); ++i) t += key + std::to_string(i + 1) + " = " + values[i] + "\r\n";
        };
        group("Grp_DescriptionMaj", lines, "ligne");
        group("Grp_ListeFichiersATelecharger", files, "fichier");
        group("Grp_ListeDossiersACreer", folders, "dossier");
        group("Grp_ListeChmodAAppliquer", chmods, "chmod");
        if (version == 0) return t;
        group("Grp_VersionMaj", {std::to_string(describedVersion ? describedVersion : version)}, "version");
        if (!withDigests) return t;
        std::vector<std::string> digests;
        for (const std::string& f : files) {
            // A file not published gets the digest of nothing: it is never received anyway.
            const auto it = contents.find(f);
            const std::string bytes = it == contents.end() ? std::string() : it->second;
            digests.push_back(sha256Hex(bytes) + " " + std::to_string(bytes.size()) + " " + f);
        }
        group("Grp_EmpreintesFichiers", digests, "empreinte");
        return t;
    }
};

// The official site below "velmo-maj/" on a real server.
class OfficialSiteOnPeer {
public:
    explicit OfficialSiteOnPeer(velmo::testsupport::HttpPeerKind kind = velmo::testsupport::HttpPeerKind::Nginx)
        : web(kind) {}
    // The same site over https: nginx presenting `leaf`, site() naming its TLS port.
    explicit OfficialSiteOnPeer(const velmo::testsupport::HttpTlsLeaf& leaf)
        : web(velmo::testsupport::HttpPeerKind::Nginx, leaf), secure(true) {}

    // Keys in the given order: version -> lowest updater version.
    void publishList(const std::vector<std::pair<std::int32_t, std::int32_t>>& versions) const {
        std::string t = "[Grp_NumeroDeVersion_Exe_Script_SiteOfficiel]\r\n";
        for (const auto& [v, exe] : versions) t += std::to_string(v) + " = " + std::to_string(exe) + "\r\n";
        publishSigned("_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg", t);
    }
    void publishPackage(std::int32_t version, const Package& p) const {
        const std::string folder = "maj_" + std::to_string(version) + "/";
        publishSigned(folder + "_Fichier_Maj_xxx.pcfg", p.descriptionText(version));
        for (const auto& [path, bytes] : p.contents) web.writeFile("velmo-maj/" + folder + path, bytes);
    }
    // A file below "velmo-maj/" and its signature by `key`.
    void publishSigned(const std::string& sitePath, const std::string& bytes,
                       const SigningKey& key = SigningKey::test()) const {
        web.writeFile("velmo-maj/" + sitePath, bytes);
        web.writeFile("velmo-maj/" + sitePath + signatureSuffix, key.signatureFile(sitePath, bytes));
    }
    OfficialSite site() const {
        OfficialSite s;
        s.baseUrl = secure ? web.tlsUrl("velmo-maj/") : web.url("velmo-maj/");
        s.publicKey = SigningKey::test().publicHex();
        return s;
    }

    velmo::testsupport::HttpPeer web;
    bool secure = false;
};

}  // namespace velmo::updater::testing
