// The official site's update directory: the published version list, and per version a
// package folder with its description file and its files.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "http/download.h"
#include "updater/engine/updater_reporter.h"

namespace velmo::updater {

inline constexpr const char* versionListName = "_NumeroDeVersion_Exe_Script_SiteOfficiel.pcfg";

// The two texts of the site that the updater reads whole, line by line, have bounds of
// their own, far below a package file's: the list grows by one line per release, the
// description by one line per file of a package. Past them the file is refused rather
// than read (a text of 32 MiB would cost hundreds of megabytes once read into rows).
inline constexpr std::int64_t versionListMaxBytes = 64 * 1024;
inline constexpr std::int64_t versionListMaxLines = 2000;
inline constexpr std::int64_t descriptionMaxBytes = 256 * 1024;
inline constexpr std::int64_t descriptionMaxLines = 8000;

struct OfficialSite {
    // An http:// or https:// address ending in "velmo-maj/": the build's
    // VELMO_UPDATE_BASE_URL in the program, a local server in the tests and the demo.
    std::string baseUrl;
    // The limits of a package file. A check or an installation that has a deadline or an
    // abort flag of its own sets them here (deadlineTickMs, abort) on its copy of the site.
    http::DownloadLimits limits;
    // The Ed25519 public key (hex) the site's signatures must verify with: the build's
    // VELMO_UPDATE_PUBLIC_KEY in the program. Empty or malformed: nothing verifies.
    std::string publicKey;

    // baseUrl + the relative path, each part encoded for the address.
    std::string fileUrl(const std::string& relativePath) const;
    // `limits`, with the smaller bounds above for the version list and the description.
    http::DownloadLimits limitsFor(const std::string& name) const;
};

// "maj_" + the version in decimal.
std::string packageFolderName(std::int32_t version);

// Why an official file did not arrive, as the user is told.
enum class OfficialFileFailure {
    Absent,       // the site answered 404: the file is not there
    Unreachable,  // no connection, no answer, or an answer that cannot be read
    TooSlow,      // the site answers, but not within the time given
    Refused,      // the site answered with another error status (403, 500...)
    TooLarge,     // larger than such a file can be
    Elsewhere,    // the site sends it to another host or port (or from https back to
                  // http, or out of HTTP)
    NotVerified,  // https: the site's certificate could not be verified
    SecureConnectionFailed,  // https: the TLS handshake failed, or the TLS connection broke
    Interrupted,  // the caller stopped it (the user's cancel)
    NotStored,    // received, but "misesAJour" could not be written
};
OfficialFileFailure classifyFailure(const http::DownloadResult& result);

// The message for the file `name` that did not arrive. The 404 keeps the suite's one
// "absent" text; each other kind says what happened.
std::string officialFileFailureText(const std::string& name, const http::DownloadResult& result);

// The updater journal's line for a download that failed over TLS (the certificate or the
// handshake): the address and the reason as the TLS library gave it.
std::string secureConnectionJournalLine(const std::string& url, const http::DownloadResult& result);

// Downloads baseUrl + subPath + name to "misesAJour/" + subPath + name (subPath is "" or
// the package folder and "/"), within limitsFor(name). On failure the message of
// officialFileFailureText is given as fatal and false returned: the program then ends.
// A failure over TLS also writes secureConnectionJournalLine to the updater's journal.
bool fetchOfficialFile(const OfficialSite& site, const std::string& name, const std::string& subPath,
                       UpdaterReporter& reporter);

enum class SignedFetch {
    Verified,    // the file is in the mirror and its signature holds
    Unverified,  // no signature, or one that does not hold: `reason` says which (no box
                 // given); the unverified file is removed from the mirror
    Failed,      // a download failed: the fatal box was given (fetchOfficialFile)
};
// fetchOfficialFile for the file, then for its signature name + ".sig" (a 404 there is a
// missing signature, not a missing file), then the check of the one against the other as
// the file subPath + name. With `stop` set once the file is in, the signature is not asked
// for: Failed, without a box (the caller sees its stop).
SignedFetch fetchSignedOfficialFile(const OfficialSite& site, const std::string& name, const std::string& subPath,
                                    UpdaterReporter& reporter, std::string& reason,
                                    const std::atomic<bool>* stop = nullptr);

}  // namespace velmo::updater
