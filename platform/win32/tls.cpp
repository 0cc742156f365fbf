// The TLS stream on Schannel (SSPI), the Windows build. The handshake is told to leave the
// certificate to us (SCH_CRED_MANUAL_CRED_VALIDATION): the chain is then built against the
// Windows certificate store and judged with the SSL policy for the typed host name, so
// that an untrusted certificate can be shown to the user on an established connection.
//
// Schannel keeps resumable sessions in its cache per credentials handle and target name:
// a Session is therefore the credentials handle of the stream it came from, and a stream
// given one uses that handle with the same name, which lets Schannel resume.
#define SECURITY_WIN32
#include <winsock2.h>
#include <windows.h>
#include <bcrypt.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/tls.h"

namespace velmo::tls {

struct Session::Handle {
    CredHandle credentials{};
    std::wstring target;
    Handle() = default;
    ~Handle() { FreeCredentialsHandle(&credentials); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

namespace {

using Clock = std::chrono::steady_clock;
constexpr int stepMs = 50;
// SECURITY_FLAG_IGNORE_CERT_CN_INVALID of wininet.h, which the SSL policy takes in fdwChecks.
constexpr DWORD ignoreNameCheck = 0x00001000;
constexpr DWORD contextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                               ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                               ISC_REQ_MANUAL_CRED_VALIDATION;

std::wstring wide(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n);
    return out;
}

std::string utf8(const wchar_t* s) {
    int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

std::string hexCode(long code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(code));
    return buf;
}

std::string nameText(CERT_NAME_BLOB* name) {
    DWORD flags = CERT_X500_NAME_STR;
    DWORD n = CertNameToStrW(X509_ASN_ENCODING, name, flags, nullptr, 0);
    if (n <= 1) return std::string();
    std::wstring buf(n, L'\0');
    CertNameToStrW(X509_ASN_ENCODING, name, flags, &buf[0], n);
    return utf8(buf.c_str());
}

std::string timeText(const FILETIME& ft) {
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&ft, &st)) return std::string();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    return buf;
}

std::string sha256(const BYTE* data, DWORD size) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return std::string();
    unsigned char digest[32];
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0) == 0 &&
              BCryptHashData(hash, const_cast<BYTE*>(data), size, 0) == 0 &&
              BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    if (hash) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(alg, 0);
    return ok ? hexPairs(digest, sizeof digest) : std::string();
}

CertificateInfo describe(PCCERT_CONTEXT cert) {
    CertificateInfo info;
    info.subject = nameText(&cert->pCertInfo->Subject);
    info.issuer = nameText(&cert->pCertInfo->Issuer);
    info.notBefore = timeText(cert->pCertInfo->NotBefore);
    info.notAfter = timeText(cert->pCertInfo->NotAfter);
    info.sha256 = sha256(cert->pbCertEncoded, cert->cbCertEncoded);
    info.der.assign(reinterpret_cast<const char*>(cert->pbCertEncoded), cert->cbCertEncoded);
    return info;
}

Reason reasonOf(DWORD error) {
    switch (error) {
    case 0: return Reason::None;
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
    case static_cast<DWORD>(CERT_E_UNTRUSTEDTESTROOT):
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE):
        return Reason::Untrusted;
    case static_cast<DWORD>(CERT_E_EXPIRED):
    case static_cast<DWORD>(CERT_E_VALIDITYPERIODNESTING):
        return Reason::OutOfDate;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return Reason::NameMismatch;
    default: return Reason::Other;
    }
}

// The PEM file's certificates in a memory store (the tests' CA).
HCERTSTORE loadPemFile(const std::string& path) {
    std::FILE* f = _wfopen(wide(path).c_str(), L"rb");
    if (!f) return nullptr;
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (!store) return nullptr;
    const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
    int added = 0;
    for (std::size_t at = 0; (at = text.find(begin, at)) != std::string::npos;) {
        std::size_t stop = text.find(end, at);
        if (stop == std::string::npos) break;
        stop += end.size();
        DWORD size = 0;
        const char* pem = text.data() + at;
        DWORD pemLen = static_cast<DWORD>(stop - at);
        if (CryptStringToBinaryA(pem, pemLen, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
            std::vector<BYTE> der(size);
            if (CryptStringToBinaryA(pem, pemLen, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr) &&
                CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                 CERT_STORE_ADD_ALWAYS, nullptr))
                ++added;
        }
        at = stop;
    }
    if (added == 0) {
        CertCloseStore(store, 0);
        return nullptr;
    }
    return store;
}

// True when `host` is a dotted IPv4 address listed in the certificate's subjectAltName.
bool hasIpAddress(PCCERT_CONTEXT cert, const std::string& host) {
    unsigned char address[4];
    int parts = 0;
    unsigned value = 0, digits = 0;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        char c = i < host.size() ? host[i] : '.';
        if (c >= '0' && c <= '9' && digits < 3) {
            value = value * 10 + static_cast<unsigned>(c - '0');
            ++digits;
        } else if (c == '.' && digits > 0 && value <= 255 && parts < 4) {
            address[parts++] = static_cast<unsigned char>(value);
            value = digits = 0;
        } else {
            return false;
        }
    }
    if (parts != 4) return false;
    PCERT_EXTENSION ext = CertFindExtension(szOID_SUBJECT_ALT_NAME2, cert->pCertInfo->cExtension,
                                            cert->pCertInfo->rgExtension);
    if (!ext) return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, ext->Value.pbData, ext->Value.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& e = names->rgAltEntry[i];
        found = e.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && e.IPAddress.cbData == 4 &&
                std::memcmp(e.IPAddress.pbData, address, 4) == 0;
    }
    LocalFree(names);
    return found;
}

}  // namespace

struct Stream::Impl {
    net::Socket socket;
    std::shared_ptr<Session::Handle> credentials;
    CtxtHandle context{};
    bool haveContext = false;
    SecPkgContext_StreamSizes sizes{};
    std::string incoming;  // received, not yet decrypted
    std::string plain;     // decrypted, not yet handed out
    Verification verification;
    bool ready = false;
    bool wasResumed = false;
    bool peerClosed = false;
    bool closeNotified = false;  // the peer's close_notify was decrypted
    std::string protocolName;
    const std::function<bool()>* stop = nullptr;  // Options::stop, during the handshake
    Clock::time_point handshakeEnd{};                // Options::totalMs, during the handshake

    ~Impl() { release(); }
    void release() {
        if (haveContext) DeleteSecurityContext(&context);
        haveContext = false;
        socket.close();
        ready = false;
        incoming.clear();
        plain.clear();
    }

    enum class Wait { Ready, TimedOut, Aborted };
    Wait waitFor(bool reading, int silenceMs, const std::atomic<bool>* abort, Clock::time_point since) {
        for (;;) {
            if (abort && abort->load()) return Wait::Aborted;
            const Clock::time_point now = Clock::now();
            auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(now - since).count();
            if (silent >= silenceMs) return Wait::TimedOut;
            int wait = static_cast<int>(silent + stepMs > silenceMs ? silenceMs - silent : stepMs);
            if (handshakeEnd != Clock::time_point{}) {
                if (now >= handshakeEnd) return Wait::TimedOut;
                wait = static_cast<int>(std::min<long long>(
                    wait, std::chrono::duration_cast<std::chrono::milliseconds>(handshakeEnd - now).count() + 1));
            }
            if (reading ? socket.waitReadable(wait) : socket.waitWritable(wait)) return Wait::Ready;
            // Asked only once a slice passed with nothing from the peer: a quick server's
            // last handshake bytes, its data and its word elsewhere can come together.
            if (stop && *stop && (*stop)()) return Wait::Aborted;
        }
    }

    // Sends every byte within the silence bound.
    // Encrypted bytes not out yet. A silence can cut a record short; the rest stays here
    // and goes out first at the next send, so a sendAll called again with the same bytes
    // carries on where it stopped (as OpenSSL's retry does), and the peer never sees a
    // record cut or made twice. `unsentCovers`: how many of the caller's bytes it holds.
    std::string unsent;
    std::size_t unsentCovers = 0;

    IoOutcome sendRaw(const char* data, std::size_t size, int silenceMs, const std::atomic<bool>* abort) {
        unsent.append(data, size);
        return sendUnsent(silenceMs, abort);
    }

    IoOutcome sendUnsent(int silenceMs, const std::atomic<bool>* abort) {
        Clock::time_point last = Clock::now();
        while (!unsent.empty()) {
            std::size_t n = 0;
            switch (socket.sendSome(unsent.data(), unsent.size(), n)) {
            case net::IoResult::Done:
                unsent.erase(0, n);
                last = Clock::now();
                continue;
            case net::IoResult::WouldBlock: break;
            case net::IoResult::Closed: peerClosed = true; return IoOutcome::Closed;
            default: return IoOutcome::Error;
            }
            switch (waitFor(false, silenceMs, abort, last)) {
            case Wait::Ready: break;
            case Wait::TimedOut: return IoOutcome::TimedOut;
            case Wait::Aborted: return IoOutcome::Aborted;
            }
        }
        return IoOutcome::Done;
    }

    // Appends what the socket has to `incoming`, waiting within the silence bound.
    IoOutcome receiveRaw(int silenceMs, const std::atomic<bool>* abort) {
        Clock::time_point last = Clock::now();
        for (;;) {
            char buf[16384];
            std::size_t n = 0;
            switch (socket.receiveSome(buf, sizeof buf, n)) {
            case net::IoResult::Done: incoming.append(buf, n); return IoOutcome::Done;
            case net::IoResult::WouldBlock: break;
            case net::IoResult::Closed: peerClosed = true; return IoOutcome::Closed;
            default: peerClosed = true; return IoOutcome::Error;
            }
            switch (waitFor(true, silenceMs, abort, last)) {
            case Wait::Ready: break;
            case Wait::TimedOut: return IoOutcome::TimedOut;
            case Wait::Aborted: return IoOutcome::Aborted;
            }
        }
    }

    // Runs InitializeSecurityContext until the handshake (or a post-handshake exchange
    // started by SEC_I_RENEGOTIATE) is over. `status` gets the last SSPI status.
    IoOutcome negotiate(const std::wstring& target, int silenceMs, const std::atomic<bool>* abort,
                        SECURITY_STATUS& status) {
        // The handshake starts with our hello; a post-handshake message (SEC_I_RENEGOTIATE)
        // is already in `incoming` (if anything), as Schannel asks for it at once.
        bool first = !haveContext;
        bool needInput = false;
        for (;;) {
            if (needInput) {
                IoOutcome r = receiveRaw(silenceMs, abort);
                if (r != IoOutcome::Done) return r;
            }
            SecBuffer inBufs[2] = {{static_cast<unsigned long>(incoming.size()), SECBUFFER_TOKEN, incoming.data()},
                                   {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBufs};
            SecBuffer outBufs[1] = {{0, SECBUFFER_TOKEN, nullptr}};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, outBufs};
            unsigned long attributes = 0;
            status = InitializeSecurityContextW(&credentials->credentials, first ? nullptr : &context,
                                                const_cast<wchar_t*>(target.c_str()), contextFlags, 0, 0,
                                                first ? nullptr : &inDesc, 0, first ? &context : nullptr,
                                                &outDesc, &attributes, nullptr);
            if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) haveContext = true;
            first = false;
            if (outBufs[0].cbBuffer > 0 && outBufs[0].pvBuffer) {
                IoOutcome r = sendRaw(static_cast<const char*>(outBufs[0].pvBuffer), outBufs[0].cbBuffer, silenceMs,
                                      abort);
                FreeContextBuffer(outBufs[0].pvBuffer);
                if (r != IoOutcome::Done) return r;
            }
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                needInput = true;
                continue;
            }
            // What the call did not use belongs to the next message.
            if (inBufs[1].BufferType == SECBUFFER_EXTRA && inBufs[1].cbBuffer > 0)
                incoming.erase(0, incoming.size() - inBufs[1].cbBuffer);
            else if (status != SEC_E_INCOMPLETE_MESSAGE)
                incoming.clear();
            if (status == SEC_E_OK) return IoOutcome::Done;
            if (status != SEC_I_CONTINUE_NEEDED) return IoOutcome::Error;
            needInput = incoming.empty();
        }
    }

    // Decrypts what `incoming` holds into `plain`; Done when something came out, Closed
    // on close_notify, Error on a failure, TimedOut (meaning "need more") otherwise.
    IoOutcome decrypt(int silenceMs, const std::atomic<bool>* abort) {
        for (;;) {
            if (incoming.empty()) return IoOutcome::TimedOut;
            SecBuffer bufs[4] = {{static_cast<unsigned long>(incoming.size()), SECBUFFER_DATA, incoming.data()},
                                 {0, SECBUFFER_EMPTY, nullptr},
                                 {0, SECBUFFER_EMPTY, nullptr},
                                 {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
            // The record's type is in clear in its header (TLS 1.2): 21 is an alert.
            const bool alertRecord = static_cast<unsigned char>(incoming[0]) == 21;
            SECURITY_STATUS status = DecryptMessage(&context, &desc, 0, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE) return IoOutcome::TimedOut;
            if (status == SEC_I_CONTEXT_EXPIRED) {
                closeNotified = true;
                return IoOutcome::Closed;
            }
            if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
                verification.detail = "DecryptMessage " + hexCode(status);
                return IoOutcome::Error;
            }
            std::string extra;
            for (SecBuffer& b : bufs) {
                if (b.BufferType == SECBUFFER_DATA && b.cbBuffer) plain.append(static_cast<char*>(b.pvBuffer), b.cbBuffer);
                if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer) extra.assign(static_cast<char*>(b.pvBuffer), b.cbBuffer);
            }
            incoming = extra;
            if (status == SEC_E_OK && alertRecord && plain.empty()) {
                // The peer's close_notify. Some Schannels (Wine's) give it back as an empty
                // record with SEC_E_OK instead of SEC_I_CONTEXT_EXPIRED; a server that then
                // waits for ours (pure-ftpd after a listing) would otherwise wait with us
                // until the silence limit, and the end of the data would read as a stall.
                // The connection itself stays up: our close_notify still answers it (a
                // server that gets none may take the transfer for a failed one).
                closeNotified = true;
                return IoOutcome::Closed;
            }
            if (status == SEC_I_RENEGOTIATE) {
                // A post-handshake message (TLS 1.3 session ticket, key update): Schannel
                // wants it through InitializeSecurityContext.
                SECURITY_STATUS s2 = SEC_E_OK;
                IoOutcome r = negotiate(credentials->target, silenceMs, abort, s2);
                if (r != IoOutcome::Done) return r;
                continue;
            }
            if (!plain.empty()) return IoOutcome::Done;
        }
    }

    void judge(const Options& options) {
        PCCERT_CONTEXT leaf = nullptr;
        if (QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &leaf) != SEC_E_OK || !leaf) {
            verification.reason = Reason::Other;
            verification.detail = "no server certificate";
            return;
        }
        verification.certificate = describe(leaf);
        if (!options.trustedCertificate.empty() && options.trustedCertificate == verification.certificate.der) {
            CertFreeCertificateContext(leaf);
            verification.reason = Reason::None;  // pinned by the user
            return;
        }
        HCERTSTORE extraCa = options.extraCaFile.empty() ? nullptr : loadPemFile(options.extraCaFile);
        // The chain may use what the server sent and the extra CAs besides the system store.
        HCERTSTORE additional = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
        if (additional) {
            if (leaf->hCertStore) CertAddStoreToCollection(additional, leaf->hCertStore, 0, 0);
            if (extraCa) CertAddStoreToCollection(additional, extraCa, 0, 0);
        }
        char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
        char* usages[] = {serverAuth};
        CERT_CHAIN_PARA para{};
        para.cbSize = sizeof para;
        para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
        para.RequestedUsage.Usage.cUsageIdentifier = 1;
        para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        DWORD error = 0;
        if (!CertGetCertificateChain(nullptr, leaf, nullptr, additional, &para, 0, nullptr, &chain)) {
            error = GetLastError();
        } else {
            std::wstring host = wide(options.hostName);
            auto policyError = [&](DWORD flags, DWORD checks) -> DWORD {
                SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
                ssl.cbSize = sizeof ssl;
                ssl.dwAuthType = AUTHTYPE_SERVER;
                ssl.fdwChecks = checks;
                ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
                CERT_CHAIN_POLICY_PARA policy{};
                policy.cbSize = sizeof policy;
                policy.dwFlags = flags;
                policy.pvExtraPolicyPara = &ssl;
                CERT_CHAIN_POLICY_STATUS result{};
                result.cbSize = sizeof result;
                if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result))
                    return GetLastError();
                return result.dwError;
            };
            DWORD flags = 0, checks = 0;
            error = policyError(flags, checks);
            // A chain that ends at one of the extra CAs is trusted as if that CA were in
            // the store: judged again without the root check, for the dates and names.
            if (error == static_cast<DWORD>(CERT_E_UNTRUSTEDROOT) && extraCa && chain->cChain > 0) {
                const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
                PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
                PCCERT_CONTEXT found = CertFindCertificateInStore(extraCa, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                                                  root, nullptr);
                if (found) {
                    CertFreeCertificateContext(found);
                    flags = CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG;
                    error = policyError(flags, checks);
                }
            }
            // Some SSL policies (Wine's) compare only DNS names: an address typed by the user
            // is then looked for among the certificate's IP entries here.
            if (error == static_cast<DWORD>(CERT_E_CN_NO_MATCH) && hasIpAddress(leaf, options.hostName))
                error = policyError(flags, ignoreNameCheck);
            // The chain's own status backs the policy up: Wine's SSL policy passes a chain
            // that reaches no root at all, which Windows reports as CERT_E_CHAINING.
            const DWORD trust = chain->TrustStatus.dwErrorStatus;
            if (error == 0 && (trust & CERT_TRUST_IS_PARTIAL_CHAIN))
                error = static_cast<DWORD>(CERT_E_CHAINING);
            if (error == 0 && (trust & CERT_TRUST_IS_UNTRUSTED_ROOT) && !(flags & CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG))
                error = static_cast<DWORD>(CERT_E_UNTRUSTEDROOT);
            if (error == 0 && (trust & CERT_TRUST_IS_NOT_SIGNATURE_VALID))
                error = static_cast<DWORD>(TRUST_E_CERT_SIGNATURE);
            if (error == 0 && (trust & CERT_TRUST_IS_NOT_TIME_VALID))
                error = static_cast<DWORD>(CERT_E_EXPIRED);
            CertFreeCertificateChain(chain);
        }
        if (additional) CertCloseStore(additional, 0);
        if (extraCa) CertCloseStore(extraCa, 0);
        CertFreeCertificateContext(leaf);
        verification.reason = reasonOf(error);
        if (error) verification.detail = "certificate chain " + hexCode(static_cast<long>(error));
    }
};

Stream::Stream() : impl_(std::make_unique<Impl>()) {}
Stream::~Stream() = default;
Stream::Stream(Stream&&) noexcept = default;
Stream& Stream::operator=(Stream&&) noexcept = default;

Outcome Stream::handshake(net::Socket socket, const Options& options) {
    Impl& m = *impl_;
    m.release();
    m.verification = Verification();
    m.wasResumed = false;
    m.peerClosed = false;
    m.closeNotified = false;
    m.protocolName.clear();
    m.socket = std::move(socket);
    if (!m.socket.valid() || !m.socket.setNonBlocking(true)) return Outcome::Failed;
    auto fail = [&](Outcome o, const std::string& why) {
        m.verification.detail = why;
        m.release();
        return o;
    };
    const std::wstring target = wide(options.hostName);
    if (!options.resume.empty() && options.resume.handle_->target == target) {
        m.credentials = options.resume.handle_;
    } else {
        auto handle = std::make_shared<Session::Handle>();
        handle->target = target;
        SCHANNEL_CRED cred{};
        cred.dwVersion = SCHANNEL_CRED_VERSION;
        cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
        cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        TimeStamp expiry;
        SECURITY_STATUS s = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                                      SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr,
                                                      &handle->credentials, &expiry);
        if (s != SEC_E_OK) {
            // Systems without TLS 1.3 in Schannel refuse the flag: TLS 1.2 alone then.
            cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
            s = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                          nullptr, &cred, nullptr, nullptr, &handle->credentials, &expiry);
        }
        if (s != SEC_E_OK) return fail(Outcome::Failed, "AcquireCredentialsHandle " + hexCode(s));
        m.credentials = handle;
    }
    SECURITY_STATUS status = SEC_E_OK;
    struct StopScope {
        Impl& m;
        ~StopScope() {
            m.stop = nullptr;
            m.handshakeEnd = Clock::time_point{};
        }
    } scope{m};
    m.stop = &options.stop;
    if (options.totalMs > 0) m.handshakeEnd = Clock::now() + std::chrono::milliseconds(options.totalMs);
    switch (m.negotiate(target, options.timeoutMs, options.abort, status)) {
    case IoOutcome::Done: break;
    case IoOutcome::TimedOut: return fail(Outcome::TimedOut, "silent peer");
    case IoOutcome::Aborted: return fail(Outcome::Aborted, "aborted");
    case IoOutcome::Closed: return fail(Outcome::Closed, "closed by the peer");
    default: return fail(m.peerClosed ? Outcome::Closed : Outcome::Failed, "InitializeSecurityContext " + hexCode(status));
    }
    if (QueryContextAttributesW(&m.context, SECPKG_ATTR_STREAM_SIZES, &m.sizes) != SEC_E_OK)
        return fail(Outcome::Failed, "no stream sizes");
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesW(&m.context, SECPKG_ATTR_CONNECTION_INFO, &info) == SEC_E_OK) {
        if (info.dwProtocol & SP_PROT_TLS1_3_CLIENT) m.protocolName = "TLSv1.3";
        else if (info.dwProtocol & SP_PROT_TLS1_2_CLIENT) m.protocolName = "TLSv1.2";
        else m.protocolName = "other";
    }
    SecPkgContext_SessionInfo session{};
    if (QueryContextAttributesW(&m.context, SECPKG_ATTR_SESSION_INFO, &session) == SEC_E_OK)
        m.wasResumed = (session.dwFlags & SSL_SESSION_RECONNECT) != 0;
    m.judge(options);
    m.ready = m.verification.reason == Reason::None;
    return m.ready ? Outcome::Done : Outcome::Untrusted;
}

const Verification& Stream::verification() const { return impl_->verification; }

void Stream::trustPresentedCertificate() {
    if (impl_->haveContext) impl_->ready = true;
}

bool Stream::ready() const { return impl_->ready; }

bool Stream::resumed() const { return impl_->haveContext && impl_->wasResumed; }

bool Stream::closeNotified() const { return impl_->closeNotified; }

std::string Stream::protocol() const { return impl_->haveContext ? impl_->protocolName : std::string(); }

Session Stream::session() const {
    Session s;
    if (impl_->haveContext) s.handle_ = impl_->credentials;
    return s;
}

IoOutcome Stream::receiveSome(void* data, std::size_t size, std::size_t& moved, int silenceMs,
                              const std::atomic<bool>* abort) {
    Impl& m = *impl_;
    moved = 0;
    if (!m.ready) return IoOutcome::Error;
    while (m.plain.empty()) {
        IoOutcome r = m.decrypt(silenceMs, abort);
        if (r == IoOutcome::Done) break;
        if (r != IoOutcome::TimedOut) return r;
        if (m.peerClosed || m.closeNotified) return IoOutcome::Closed;
        r = m.receiveRaw(silenceMs, abort);
        if (r != IoOutcome::Done) return r;
    }
    moved = std::min(size, m.plain.size());
    std::memcpy(data, m.plain.data(), moved);
    m.plain.erase(0, moved);
    return IoOutcome::Done;
}

IoOutcome Stream::sendAll(const void* data, std::size_t size, int silenceMs,
                          const std::atomic<bool>* abort) {
    Impl& m = *impl_;
    if (!m.ready) return IoOutcome::Error;
    const char* p = static_cast<const char*>(data);
    if (!m.unsent.empty()) {
        // The last call's record of these very bytes, cut short: finish it first.
        const IoOutcome r = m.sendUnsent(silenceMs, abort);
        if (r != IoOutcome::Done) return r;
        const std::size_t covered = std::min(size, m.unsentCovers);
        p += covered;
        size -= covered;
        m.unsentCovers = 0;
    }
    while (size > 0) {
        std::size_t chunk = std::min<std::size_t>(size, m.sizes.cbMaximumMessage);
        std::string record(m.sizes.cbHeader + chunk + m.sizes.cbTrailer, '\0');
        std::memcpy(&record[m.sizes.cbHeader], p, chunk);
        SecBuffer bufs[4] = {{m.sizes.cbHeader, SECBUFFER_STREAM_HEADER, &record[0]},
                             {static_cast<unsigned long>(chunk), SECBUFFER_DATA, &record[m.sizes.cbHeader]},
                             {m.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, &record[m.sizes.cbHeader + chunk]},
                             {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
        SECURITY_STATUS s = EncryptMessage(&m.context, 0, &desc, 0);
        if (s != SEC_E_OK) {
            m.verification.detail = "EncryptMessage " + hexCode(s);
            return IoOutcome::Error;
        }
        m.unsentCovers = chunk;
        IoOutcome r = m.sendRaw(record.data(), bufs[0].cbBuffer + bufs[1].cbBuffer + bufs[2].cbBuffer, silenceMs, abort);
        if (r != IoOutcome::Done) return r;
        m.unsentCovers = 0;
        p += chunk;
        size -= chunk;
    }
    return IoOutcome::Done;
}

bool Stream::waitReadable(int timeoutMs) {
    Impl& m = *impl_;
    if (!m.haveContext) return false;
    // A read can take more than one record off the socket: those already here are
    // readable even when the socket has nothing more to say (an FTP server's "150" and
    // "226" often come in one segment), so they are opened first.
    if (m.plain.empty() && !m.incoming.empty() && m.decrypt(0, nullptr) != IoOutcome::TimedOut) return true;
    return !m.plain.empty() || m.socket.waitReadable(timeoutMs);
}

bool Stream::close(int timeoutMs, int lingerMs) {
    Impl& m = *impl_;
    bool sent = false;
    if (m.haveContext && !m.peerClosed) {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer in[1] = {{sizeof type, SECBUFFER_TOKEN, &type}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 1, in};
        if (ApplyControlToken(&m.context, &inDesc) == SEC_E_OK) {
            SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
            unsigned long attributes = 0;
            SECURITY_STATUS s = InitializeSecurityContextW(&m.credentials->credentials, &m.context,
                                                           const_cast<wchar_t*>(m.credentials->target.c_str()),
                                                           contextFlags, 0, 0, nullptr, 0, nullptr, &outDesc,
                                                           &attributes, nullptr);
            if ((s == SEC_E_OK || s == SEC_I_CONTEXT_EXPIRED) && out[0].pvBuffer && out[0].cbBuffer > 0)
                sent = m.sendRaw(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer, timeoutMs, nullptr) ==
                       IoOutcome::Done;
            if (out[0].pvBuffer) FreeContextBuffer(out[0].pvBuffer);
        }
    }
    if (sent && lingerMs > 0) {
        // Schannel resumes through the credentials, not tickets: what still comes is only
        // read so that the socket is not closed with bytes unread (a reset).
        m.socket.shutdownSend();
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(lingerMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) break;
            if (!m.socket.waitReadable(static_cast<int>(std::min<long long>(left, stepMs)))) continue;
            char scrap[4096];
            std::size_t got = 0;
            const net::IoResult r = m.socket.receiveSome(scrap, sizeof scrap, got);
            if (r != net::IoResult::Done && r != net::IoResult::WouldBlock) break;
        }
    }
    m.release();
    return sent;
}

}  // namespace velmo::tls
