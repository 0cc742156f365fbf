#include "updater/engine/signature.h"

#include <sodium.h>

#include <cstring>

#include "platform/fs.h"

namespace velmo::updater {
namespace {

// libsodium picks its implementations once; sodium_init is safe to call again and from
// several threads.
bool sodiumReady() { return sodium_init() >= 0; }

bool fromHex(const std::string& hex, unsigned char* out, std::size_t size) {
    if (hex.size() != 2 * size) return false;
    std::size_t written = 0;
    const char* end = nullptr;
    return sodium_hex2bin(out, size, hex.data(), hex.size(), nullptr, &written, &end) == 0 && written == size &&
           end == hex.data() + hex.size();
}

}  // namespace

std::string signedMessage(const std::string& sitePath, const std::string& bytes) {
    return "velmo-maj-sig-v1\n" + sitePath + "\n" + bytes;
}

bool verifySignature(const std::string& publicKeyHex, const std::string& sitePath, const std::string& bytes,
                     const std::string& signatureFile) {
    if (!sodiumReady()) return false;
    unsigned char key[crypto_sign_PUBLICKEYBYTES];
    if (!fromHex(publicKeyHex, key, sizeof key)) return false;
    std::string line = signatureFile;
    if (line.size() >= 1 && line.back() == '\n') line.pop_back();
    if (line.size() >= 1 && line.back() == '\r') line.pop_back();
    const std::size_t prefix = std::strlen(signatureLinePrefix);
    if (line.compare(0, prefix, signatureLinePrefix) != 0) return false;
    unsigned char signature[crypto_sign_BYTES];
    if (!fromHex(line.substr(prefix), signature, sizeof signature)) return false;
    const std::string message = signedMessage(sitePath, bytes);
    return crypto_sign_verify_detached(signature, reinterpret_cast<const unsigned char*>(message.data()),
                                       message.size(), key) == 0;
}

std::string sha256Hex(const std::string& bytes) {
    unsigned char hash[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(hash, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    char hex[2 * crypto_hash_sha256_BYTES + 1];
    sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
    return hex;
}

bool digestOfFile(const std::string& path, FileDigest& out) {
    std::string bytes;
    if (!sodiumReady() || !fs::readWholeFile(path, bytes)) return false;
    out.sha256 = sha256Hex(bytes);
    out.size = static_cast<std::int64_t>(bytes.size());
    return true;
}

}  // namespace velmo::updater
