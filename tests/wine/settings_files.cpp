// The settings files' Windows side, run under Wine by test_settings_files.py in a folder it
// prepared ("lien.pcfg", a link to "reel/config.pcfg"; the script checks the link after):
//   velmo_settings_files
// Prints one line per check; exit code 0 only when every check held.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs.h"
#include "settings/connection_settings.h"
#include "settings/preference_file.h"

namespace {

using namespace velmo;

int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

// Another program holding the file open, with its own access and sharing.
struct OtherProgramsHandle {
    HANDLE h;
    OtherProgramsHandle(const wchar_t* path, DWORD access, DWORD sharing)
        : h(CreateFileW(path, access, sharing, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~OtherProgramsHandle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

void opensWhatOthersHold() {
    struct Case {
        const char* what;
        DWORD access, sharing;
    };
    const Case cases[] = {
        {"held for writing, others may read and write", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {"held for reading, others may only read", GENERIC_READ, FILE_SHARE_READ},
    };
    for (const Case& c : cases) {
        fs::replaceFileContents("partage.pcfg", "k = 1\r\n");
        OtherProgramsHandle other(L"partage.pcfg", c.access, c.sharing);
        check(other.h != INVALID_HANDLE_VALUE, std::string(c.what) + ": the other handle is open");
        PreferenceFile f;
        check(f.open("partage.pcfg") && f.isReadOnly() && f.readInteger("k", 0) == 1,
              std::string(c.what) + ": open reads it, read-only");
        f.writeInteger("k", 2);
        check(!f.close(), std::string(c.what) + ": close writes nothing");
    }
}

std::string savedBy(const ConnectionSettings& s) {
    fs::makeFolder("seul");
    saveConnectionSettings(Tool::Installer, s, "seul/config.pcfg");
    std::string bytes;
    fs::readWholeFile("seul/config.pcfg", bytes);
    return bytes;
}

void twoWritersAndAReader() {
    const ConnectionSettings writers[] = {
        {"ftp.court.fr", "a", "", "livre-dor", 0, 1, 21},
        {"ftp.une-adresse-nettement-plus-longue.exemple.org", "utilisateur-b", "", "autre-dossier", 1, 0, 2121},
    };
    const std::string whole[] = {savedBy(writers[0]), savedBy(writers[1])};
    fs::replaceFileContents("config.pcfg", whole[0]);
    std::atomic<int> running{2}, failedSaves{0};
    std::vector<std::thread> threads;
    for (const ConnectionSettings& s : writers)
        threads.emplace_back([&, s] {
            for (int i = 0; i < 100; ++i)
                if (!saveConnectionSettings(Tool::Installer, s, "config.pcfg")) ++failedSaves;
            --running;
        });
    int reads = 0, mixed = 0, refused = 0;
    std::string bytes;
    while (running > 0) {
        // A read may be refused while a replacement holds the file (Windows sharing);
        // what is read must be whole.
        if (!fs::readWholeFile("config.pcfg", bytes)) {
            ++refused;
            continue;
        }
        ++reads;
        if (bytes != whole[0] && bytes != whole[1]) ++mixed;
        // A tool reads the file once, when its window opens: a reader that never lets go
        // would only keep the savers waiting.
        Sleep(5);
    }
    for (std::thread& t : threads) t.join();
    std::printf("info %d reads, %d refused while a save held the file\n", reads, refused);
    check(failedSaves == 0, "two writers: every save succeeded");
    check(mixed == 0, "two writers: every read is one writer's whole file (" + std::to_string(mixed) + " were not)");
    fs::readWholeFile("config.pcfg", bytes);
    check(bytes == whole[0] || bytes == whole[1], "two writers: the file left is one writer's whole file");
    std::vector<fs::FolderEntry> entries;
    fs::listFolder(".", entries);
    bool sibling = false;
    for (const fs::FolderEntry& e : entries) sibling |= e.name.rfind("config.pcfg.", 0) == 0;
    check(!sibling, "two writers: no sibling is left");
}

void leftoversAndAttributes() {
    fs::replaceFileContents("config.pcfg.nouveau", "reste");
    SetFileAttributesW(L"config.pcfg.nouveau", FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(L"config.pcfg", FILE_ATTRIBUTE_HIDDEN);
    check(fs::replaceFileContents("config.pcfg", "apres\r\n"), "a read-only leftover sibling does not block a save");
    std::string bytes;
    check(fs::readWholeFile("config.pcfg", bytes) && bytes == "apres\r\n", "the save's bytes are in the file");
    const DWORD attributes = GetFileAttributesW(L"config.pcfg");
    check(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN),
          "the file's attributes (hidden) are kept");
    SetFileAttributesW(L"config.pcfg.nouveau", FILE_ATTRIBUTE_NORMAL);
}

void throughTheLink() {
    PreferenceFile f;
    check(f.create("lien.pcfg"), "the link's target can be created over");
    f.writeString("lien", "oui");
    check(f.close(), "saved through the link");
}

}  // namespace

int main() {
    opensWhatOthersHold();
    twoWritersAndAReader();
    leftoversAndAttributes();
    throughTheLink();
    std::printf("%s\n", failures == 0 ? "ALL OK" : "SOME FAILED");
    return failures == 0 ? 0 : 1;
}
