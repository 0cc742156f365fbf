// How the tests publish a site the updater trusts: every file signed beside it
// ("<name>.sig"), with the repository's test key (tests/keys) unless a test says otherwise.
// The signing is libsodium's, as scripts/sign_update.py's is PyNaCl's (the same libsodium).
#pragma once
#include <sodium.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "updater/engine/signature.h"

namespace velmo::updater::testing {

inline std::string keyFileHex(const std::string& name) {
    std::ifstream in(std::string(VELMO_TEST_KEYS_DIR) + "/" + name);
    std::string hex;
    if (!(in >> hex)) throw std::runtime_error("test key file missing: " + name);
    return hex;
}

// An Ed25519 key pair, from a 32-byte seed given in hex (the test key's secret file).
struct SigningKey {
    unsigned char secret[crypto_sign_SECRETKEYBYTES];
    unsigned char pub[crypto_sign_PUBLICKEYBYTES];

    explicit SigningKey(const std::string& seedHex) {
        if (sodium_init() < 0) throw std::runtime_error("sodium_init");
        unsigned char seed[crypto_sign_SEEDBYTES];
        if (sodium_hex2bin(seed, sizeof seed, seedHex.data(), seedHex.size(), nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("bad seed");
        crypto_sign_seed_keypair(pub, secret, seed);
    }
    static SigningKey test() { return SigningKey(keyFileHex("test-update-key.secret")); }
    // Another publisher's key: the same every run.
    static SigningKey other() { return SigningKey(std::string(64, '7')); }

    std::string publicHex() const {
        char hex[2 * sizeof pub + 1];
        sodium_bin2hex(hex, sizeof hex, pub, sizeof pub);
        return hex;
    }
    // The ".sig" file of `bytes` published as `sitePath` (below "velmo-maj/").
    std::string signatureFile(const std::string& sitePath, const std::string& bytes) const {
        const std::string message = signedMessage(sitePath, bytes);
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                             secret);
        char hex[2 * sizeof sig + 1];
        sodium_bin2hex(hex, sizeof hex, sig, sizeof sig);
        return std::string(signatureLinePrefix) + hex + "\r\n";
    }
};

}  // namespace velmo::updater::testing
