#include "installer/engine/guestbook_manifest.h"

#include <algorithm>

#include "platform/fs.h"

namespace velmo::installer {
namespace {

struct Row {
    const char* path;  // below "livre-dor", forward slashes; nullptr for the langues entry
    const char* name;  // the folder's name in its line
    int folderBlanks;
    enum Place { Root, Nested, FromBase, FromLangues, FromSkins } place;
};

// Nested folders are made right where the previous entry left the session.
constexpr Row rows[manifestFolderCount] = {
    {"", "livre-dor", 0, Row::Root},
    {"aide/", "aide", 3, Row::Nested},
    {"aide/img/", "img", 6, Row::Nested},
    {"chmod_perso/", "chmod_perso", 3, Row::FromBase},
    {"chmod_perso/save/", "save", 6, Row::Nested},
    {"images/", "images", 3, Row::FromBase},
    {"images/smileys/", "smileys", 6, Row::Nested},
    {"img_perso/", "img_perso", 3, Row::FromBase},
    {"imgs/", "imgs", 3, Row::FromBase},
    {"inc/", "inc", 3, Row::FromBase},
    {"install/", "install", 3, Row::FromBase},
    {nullptr, "langues", 3, Row::FromBase},
    {"langues/lg01_fr/", "lg01_fr", 6, Row::Nested},
    {"langues/lg02_en/", "lg02_en", 6, Row::FromLangues},
    {"langues/lg03_es/", "lg03_es", 6, Row::FromLangues},
    {"langues/lg04_it/", "lg04_it", 6, Row::FromLangues},
    {"langues/lg05_de/", "lg05_de", 6, Row::FromLangues},
    {"langues/lg06_po/", "lg06_po", 6, Row::FromLangues},
    {"langues/lg07_nl/", "lg07_nl", 6, Row::FromLangues},
    {"skins/", "skins", 3, Row::FromBase},
    {"skins/mon_skin/", "mon_skin", 6, Row::Nested},
    {"skins/mon_skin/imgs/", "imgs", 9, Row::Nested},
    {"skins/skin_blanc_officiel/", "skin_blanc_officiel", 6, Row::FromSkins},
    {"skins/skin_blanc_officiel/imgs/", "imgs", 9, Row::Nested},
};

// NTFS hands out names in its own upper-cased order; the native build sorts the same way
// so the tree list and the send order are the same on every system.
bool ntfsOrder(const std::string& a, const std::string& b) {
    auto upper = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return upper(x) < upper(y); });
}

}  // namespace

std::vector<ManifestFolder> guestbookManifest() {
    std::vector<ManifestFolder> out;
    for (const Row& r : rows) {
        ManifestFolder f;
        if (r.path) {
            std::string rel = std::string("livre-dor/") + r.path;
            f.uploadPrefix = rel;
            f.localFolder = rel;
            std::replace(f.localFolder.begin(), f.localFolder.end(), '/', '\\');
        }
        f.remoteFolder = r.path ? std::string(r.path) : std::string("langues/");
        if (!f.remoteFolder.empty()) f.remoteFolder.pop_back();
        f.folderLine = std::string(r.folderBlanks, ' ') + "+-[Dossier] " + r.name;
        f.fileLinePrefix = std::string(r.folderBlanks + 3, ' ') + "+- ";
        using K = RemoteStep::Kind;
        const std::string name = r.place == Row::Root ? std::string() : std::string(r.name);
        switch (r.place) {
            case Row::Root:
            case Row::Nested: break;
            case Row::FromBase: f.remoteSteps.push_back({K::ChangeToBase, ""}); break;
            case Row::FromLangues: f.remoteSteps.push_back({K::ChangeToBase, "/langues"}); break;
            case Row::FromSkins: f.remoteSteps.push_back({K::ChangeToBase, "/skins"}); break;
        }
        f.remoteSteps.push_back({K::Make, name});
        f.remoteSteps.push_back({K::ChangeInto, name});
        f.lines.push_back(f.folderLine);
        out.push_back(std::move(f));
    }
    return out;
}

void addFile(ManifestFolder& entry, const std::string& name) {
    entry.lines.push_back(entry.fileLinePrefix + name);
    entry.files.push_back(name);
}

bool scanFolder(ManifestFolder& entry) {
    std::vector<fs::FolderEntry> listed;
    if (entry.localFolder.empty() || !fs::listFolder(entry.localFolder, listed)) return false;
    std::vector<std::string> names;
    for (const fs::FolderEntry& e : listed)
        if (!e.isDirectory && e.name != "Thumbs.db") names.push_back(e.name);
    std::sort(names.begin(), names.end(), ntfsOrder);
    for (const std::string& n : names) addFile(entry, n);
    return true;
}

std::vector<ManifestFolder> scanManifest(std::vector<std::string>& treeLines) {
    std::vector<ManifestFolder> manifest = guestbookManifest();
    treeLines.clear();
    for (ManifestFolder& entry : manifest) {
        if (entry.localFolder.empty()) {
            treeLines.push_back(entry.folderLine);
        } else if (scanFolder(entry)) {
            treeLines.insert(treeLines.end(), entry.lines.begin(), entry.lines.end());
        }
    }
    return manifest;
}

std::string fileNameOfLine(const std::string& line, const std::string& prefix) {
    if (prefix.empty()) return line;
    std::string out = line;
    for (std::size_t pos; (pos = out.find(prefix)) != std::string::npos;) out.erase(pos, prefix.size());
    return out;
}

int filePercent(long long bytes, long long size) {
    if (size <= 0 || bytes <= 0) return 0;
    long long p = (bytes * 100 + size - 1) / size;
    return static_cast<int>(std::min(p, 100LL));
}

}  // namespace velmo::installer
