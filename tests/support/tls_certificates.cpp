// Made with OpenSSL's own API, so that a test can set validity dates in the past or the
// future, which the command line of Debian's OpenSSL 3.0 cannot.
#include "tests/support/tls_certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace velmo::testsupport {

namespace {

constexpr long day = 24 * 3600;

struct Made {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    ~Made() {
        EVP_PKEY_free(key);
        X509_free(cert);
    }
};

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    check(ext != nullptr, "extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

// A certificate for `cn`, valid from now+fromS to now+toS, signed by `issuer` (itself when
// null); `names` is a subjectAltName value, "" for a CA.
void make(Made& out, const char* cn, long fromS, long toS, const Made* issuer, const char* names,
          long serial) {
    out.key = EVP_EC_gen("P-256");
    check(out.key != nullptr, "key");
    out.cert = X509_new();
    X509_set_version(out.cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(out.cert), serial);
    X509_gmtime_adj(X509_getm_notBefore(out.cert), fromS);
    X509_gmtime_adj(X509_getm_notAfter(out.cert), toS);
    X509_set_pubkey(out.cert, out.key);
    X509_NAME* name = X509_get_subject_name(out.cert);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Velmo essais"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(cn),
                               -1, -1, 0);
    X509* signer = issuer ? issuer->cert : out.cert;
    X509_set_issuer_name(out.cert, X509_get_subject_name(signer));
    if (*names) {
        addExtension(out.cert, signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(out.cert, signer, NID_subject_alt_name, names);
        addExtension(out.cert, signer, NID_ext_key_usage, "serverAuth");
    } else {
        addExtension(out.cert, signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(out.cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    }
    addExtension(out.cert, signer, NID_subject_key_identifier, "hash");
    check(X509_sign(out.cert, issuer ? issuer->key : out.key, EVP_sha256()) > 0, "signature");
}

TlsLeaf write(const Made& m, const std::string& base) {
    TlsLeaf leaf{base + ".pem", base + ".key"};
    FILE* f = std::fopen(leaf.certFile.c_str(), "wb");
    check(f && PEM_write_X509(f, m.cert) == 1, "writing the certificate");
    std::fclose(f);
    f = std::fopen(leaf.keyFile.c_str(), "wb");
    check(f && PEM_write_PrivateKey(f, m.key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
          "writing the key");
    std::fclose(f);
    return leaf;
}

}  // namespace

TlsCertificates::TlsCertificates(const std::string& folder) {
    const char* local = "IP:127.0.0.1,DNS:localhost";
    Made ca, good, self, expired, future, other;
    make(ca, "Velmo CA d'essai", -2 * day, 30 * day, nullptr, "", 1);
    caFile = write(ca, folder + "/ca").certFile;
    make(good, "127.0.0.1", -day, 30 * day, &ca, local, 2);
    this->good = write(good, folder + "/good");
    make(self, "127.0.0.1", -day, 30 * day, nullptr, local, 3);
    selfSigned = write(self, folder + "/self");
    make(expired, "127.0.0.1", -10 * day, -day, &ca, local, 4);
    this->expired = write(expired, folder + "/expired");
    make(future, "127.0.0.1", day, 30 * day, &ca, local, 5);
    notYetValid = write(future, folder + "/future");
    make(other, "autre.example", -day, 30 * day, &ca, "DNS:autre.example", 6);
    otherName = write(other, folder + "/other");
}

std::string certificateDer(const std::string& pemFile) {
    FILE* f = std::fopen(pemFile.c_str(), "rb");
    check(f != nullptr, "cannot open the PEM file");
    X509* cert = PEM_read_X509(f, nullptr, nullptr, nullptr);
    std::fclose(f);
    check(cert != nullptr, "cannot read the PEM file");
    unsigned char* der = nullptr;
    int n = i2d_X509(cert, &der);
    X509_free(cert);
    check(n > 0, "cannot encode");
    std::string out(reinterpret_cast<char*>(der), static_cast<std::size_t>(n));
    OPENSSL_free(der);
    return out;
}

std::string opensslFingerprint(const std::string& pemFile) {
    std::string cmd = "openssl x509 -noout -fingerprint -sha256 -in '" + pemFile + "'";
    FILE* p = popen(cmd.c_str(), "r");
    check(p != nullptr, "cannot run openssl");
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
    auto eq = out.find('=');
    check(eq != std::string::npos, "no fingerprint from openssl");
    out = out.substr(eq + 1);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

TlsServer::TlsServer(const TlsLeaf& leaf, const std::string& folder, std::vector<std::string> extra) {
    port_ = freeLoopbackPort();
    std::vector<std::string> argv = {"/usr/bin/openssl", "s_server", "-accept",
                                     "127.0.0.1:" + std::to_string(port_), "-cert", leaf.certFile,
                                     "-key", leaf.keyFile};
    argv.insert(argv.end(), extra.begin(), extra.end());
    process_.start(argv, folder + "/s_server-" + std::to_string(port_) + ".txt");
    if (!waitUntilListening(process_, port_, 20000))
        throw std::runtime_error("openssl s_server did not start: " + process_.output());
}

}  // namespace velmo::testsupport
