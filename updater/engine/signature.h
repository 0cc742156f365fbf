// The signatures and digests that make the official site's files trustworthy: whoever
// answers for the site (a man in the middle of its plain HTTP, a taken-over domain, a
// broken-into web server) could otherwise have the updater send any PHP to the user's
// server. Every file the updater reads from the site comes with a detached Ed25519
// signature beside it ("<name>.sig") made with the publisher's key, checked against the
// public key built into the program; every package file is listed with its SHA-256 and its
// size in the signed description (update_description.h). The cryptography is libsodium's.
//
// A signature covers "velmo-maj-sig-v1\n" + the file's path below the update directory
// (e.g. "maj_2010000/_Fichier_Maj_xxx.pcfg") + "\n" + the file's exact bytes as served: so
// the signature of one file never passes for another's, nor a package's for another
// package's. The ".sig" file is one line of text:
//   "velmo-maj-sig-v1 ed25519 " + the 64-byte signature in 128 hex digits
// optionally followed by CR LF or LF.
#pragma once
#include <cstdint>
#include <string>

namespace velmo::updater {

inline constexpr const char* signatureSuffix = ".sig";
inline constexpr const char* signatureLinePrefix = "velmo-maj-sig-v1 ed25519 ";
// A ".sig" file is never longer than this (the line and its line end, with room).
inline constexpr std::int64_t signatureMaxBytes = 512;

// What is signed for the file `sitePath` (its path below the update directory).
std::string signedMessage(const std::string& sitePath, const std::string& bytes);

// True when `signatureFile` (the contents of the ".sig") holds a signature of `bytes` as
// the file `sitePath` by the key `publicKeyHex` (64 hex digits). A malformed key or
// signature line is false.
bool verifySignature(const std::string& publicKeyHex, const std::string& sitePath, const std::string& bytes,
                     const std::string& signatureFile);

struct FileDigest {
    std::string sha256;      // 64 lowercase hex digits
    std::int64_t size = -1;  // bytes
};

// The SHA-256 (lowercase hex) of the bytes.
std::string sha256Hex(const std::string& bytes);

// The digest of a local file; false when it cannot be read.
bool digestOfFile(const std::string& path, FileDigest& out);

}  // namespace velmo::updater
