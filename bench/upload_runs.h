// One timed upload of the sample guestbook by each program, against a fresh server of the
// given kind on 127.0.0.1 (on whatever loopback the process runs: plain, or a namespace's
// delayed one).
#pragma once
#include <filesystem>
#include <memory>
#include <vector>

#include "bench/bench_figures.h"
#include "installer/engine/guestbook_manifest.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/tls_certificates.h"

namespace velmo::bench {

// Run in a working folder like Tools, with livre-dor beside the "program": the
// installer's real upload engine (a reporter that shows nothing and answers Yes), from
// "Valider" to the closing box's wording, less the engine's fixed 0.5 s pause after the
// close. Fills seconds, files (stored on the server), the wire count from the server's
// command log, and ok (which a question from the engine, on a fresh server, also fails).
// With `tls`: the server offers TLS with that leaf (mode "passive-tls" / "active-tls"),
// and its certificate is in the Tools folder's known-servers file before the run, as a
// user's earlier "Oui" left it, so the engine connects encrypted without asking; the run
// fails unless the server's log shows every login and transfer encrypted.
RunRecord runEngine(testsupport::PeerKind kind, bool passive,
                    const std::shared_ptr<const std::vector<installer::ManifestFolder>>& manifest,
                    const testsupport::TlsLeaf* tls = nullptr);

// The same files, staged by stageManifestCopy, sent by `lftp mirror -R` over one
// connection with a lean command set; the whole lftp process is timed. With `tls`, against
// a server offering TLS with that leaf, and lftp forced to TLS on control and data.
RunRecord runLftp(testsupport::PeerKind kind, bool passive, const std::filesystem::path& staged,
                  const testsupport::TlsLeaf* tls = nullptr);

// The updater's upload phases (createServerFolders, uploadPackageFiles) sending the staged
// files as one package into an existing guestbook folder, from the session's open to its
// close. Mode "passive-updater" / "active-updater" (bench/updater_upload_run.cpp).
RunRecord runUpdaterUpload(testsupport::PeerKind kind, bool passive, const std::filesystem::path& staged);

// A copy of exactly what the installer sends (the manifest's folders and files), so lftp
// moves the same files into the same folders.
void stageManifestCopy(const std::vector<installer::ManifestFolder>& manifest, const std::filesystem::path& to);

int countFiles(const std::filesystem::path& root);

}  // namespace velmo::bench
