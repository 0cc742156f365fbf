#include "settings/known_servers.h"

#include "settings/preference_file.h"
#include "settings/settings_lock.h"

namespace velmo {
namespace {

constexpr const char* tlsKey = "TLS";
constexpr const char* certificateKey = "Certificat";

std::string groupName(const std::string& host, int port) {
    std::string name;
    name.reserve(host.size() + 6);
    for (char c : host) name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return name + ":" + std::to_string(port);
}

std::string toHex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "" for text that is not whole hex: a damaged entry trusts nothing.
std::string fromHex(const std::string& text) {
    if (text.size() % 2 != 0) return std::string();
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexValue(text[i]), low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) return std::string();
        out += static_cast<char>(high * 16 + low);
    }
    return out;
}

}  // namespace

KnownServer readKnownServer(const std::string& path, const std::string& host, int port) {
    PreferenceFile file;
    KnownServer known;
    if (!file.open(path) || !file.selectGroup(groupName(host, port))) return known;
    known.seenWithTls = file.readInteger(tlsKey, 0) == 1;
    known.certificateDer = fromHex(file.readString(certificateKey, ""));
    return known;
}

bool rememberKnownServer(const std::string& path, const std::string& host, int port,
                         const std::string& certificateDer) {
    const SettingsFileLock lock(path);
    if (lock.state() == SettingsFileLock::State::Busy) return false;
    PreferenceFile file;
    file.open(path);
    file.selectGroup(groupName(host, port));
    file.writeInteger(tlsKey, 1);
    if (!certificateDer.empty()) file.writeString(certificateKey, toHex(certificateDer));
    return file.close();
}

}  // namespace velmo
