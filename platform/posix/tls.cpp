// The TLS stream on OpenSSL (the native build). The socket is reached through a BIO of our
// own over net::Socket, so the waiting, the silence bounds and the abort flag are ours and
// are the same as for the plain socket.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

#include "platform/tls.h"

namespace velmo::tls {

struct Session::Handle {
    Handle(SSL_SESSION* s, std::string keyGroup) : session(s), group(std::move(keyGroup)) {}
    ~Handle() { SSL_SESSION_free(session); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    SSL_SESSION* session;
    std::string group;  // the key-exchange group the connection it came from settled on
};

namespace {

using Clock = std::chrono::steady_clock;
constexpr int stepMs = 50;

std::string keyGroupOf(SSL* ssl) {
    const int id = static_cast<int>(SSL_get_negotiated_group(ssl));
    const char* name = id > 0 ? SSL_group_to_name(ssl, id) : nullptr;
    return name ? name : "";
}

// TLS 1.3 sends a key share for the first group of the list only; a server that wants
// another answers with a HelloRetryRequest, one more round trip per connection (vsftpd
// asks for P-256 on every FTP data connection). A resumed connection goes to the server
// its session came from: the group that server settled on goes first.
void preferKeyGroup(SSL* ssl, const std::string& group) {
    std::string list = group;
    for (const char* g : {"x25519", "secp256r1", "x448", "secp521r1", "secp384r1", "ffdhe2048", "ffdhe3072",
                          "ffdhe4096", "ffdhe6144", "ffdhe8192"})
        if (group != g) list += std::string(":") + g;
    SSL_set1_groups_list(ssl, list.c_str());  // refused: the library's own order stays
}

bool isDottedIpv4(const std::string& s) {
    int parts = 0, digits = 0;
    for (char c : s) {
        if (c >= '0' && c <= '9') {
            if (++digits > 3) return false;
        } else if (c == '.' && digits > 0) {
            ++parts;
            digits = 0;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0;
}

std::string lastError() {
    std::string out;
    unsigned long e;
    while ((e = ERR_get_error()) != 0) {
        char buf[256];
        ERR_error_string_n(e, buf, sizeof buf);
        if (!out.empty()) out += "; ";
        out += buf;
    }
    return out;
}

std::string nameText(const X509_NAME* name) {
    BIO* mem = BIO_new(BIO_s_mem());
    if (!mem) return std::string();
    X509_NAME_print_ex(mem, name, 0,
                       (XN_FLAG_ONELINE & ~XN_FLAG_SPC_EQ & ~ASN1_STRFLGS_ESC_MSB) |
                           ASN1_STRFLGS_UTF8_CONVERT);
    char* data = nullptr;
    long n = BIO_get_mem_data(mem, &data);
    std::string out(data, n > 0 ? static_cast<std::size_t>(n) : 0);
    BIO_free(mem);
    return out;
}

std::string timeText(const ASN1_TIME* t) {
    std::tm tm{};
    if (!t || ASN1_TIME_to_tm(t, &tm) != 1) return std::string();
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

CertificateInfo describe(X509* cert) {
    CertificateInfo info;
    info.subject = nameText(X509_get_subject_name(cert));
    info.issuer = nameText(X509_get_issuer_name(cert));
    info.notBefore = timeText(X509_get0_notBefore(cert));
    info.notAfter = timeText(X509_get0_notAfter(cert));
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int mdLen = 0;
    if (X509_digest(cert, EVP_sha256(), md, &mdLen) == 1) info.sha256 = hexPairs(md, mdLen);
    unsigned char* der = nullptr;
    int derLen = i2d_X509(cert, &der);
    if (derLen > 0) {
        info.der.assign(reinterpret_cast<char*>(der), static_cast<std::size_t>(derLen));
        OPENSSL_free(der);
    }
    return info;
}

Reason reasonOf(long code) {
    switch (code) {
    case X509_V_OK: return Reason::None;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
        return Reason::Untrusted;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return Reason::OutOfDate;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return Reason::NameMismatch;
    default: return Reason::Other;
    }
}

int newSessionOf(SSL* ssl, SSL_SESSION* session);

// One client context per set of trusted CAs, made once per process and shared by every
// stream: reading the system's CA bundle costs tens of milliseconds, which every data
// connection of an encrypted session paid again (a few short files took seconds). The
// contexts live until the process ends. Null (with `why`) when the CA file cannot be read.
SSL_CTX* sharedContext(const std::string& extraCaFile, std::string& why) {
    static std::mutex lock;
    // Never destroyed: freeing a context from a static destructor could come after
    // OpenSSL's own clean-up at exit, and a destroyed map would leave them unreachable.
    static auto& contexts = *new std::map<std::string, SSL_CTX*>;
    std::lock_guard<std::mutex> guard(lock);
    auto found = contexts.find(extraCaFile);
    if (found != contexts.end()) {
        SSL_CTX_up_ref(found->second);  // the stream's own reference, freed by release()
        return found->second;
    }
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) return nullptr;
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // The handshake goes through whatever the chain says; the result is judged after it,
    // so that the user can be asked and the same connection go on.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_default_verify_paths(ctx);
    if (!extraCaFile.empty() && SSL_CTX_load_verify_locations(ctx, extraCaFile.c_str(), nullptr) != 1) {
        why = "cannot read " + extraCaFile + ": " + lastError();
        SSL_CTX_free(ctx);
        return nullptr;
    }
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx, &newSessionOf);
    contexts.emplace(extraCaFile, ctx);  // the map's reference
    SSL_CTX_up_ref(ctx);
    return ctx;
}

}  // namespace

struct Stream::Impl {
    net::Socket socket;
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    BIO_METHOD* method = nullptr;
    Verification verification;
    bool ready = false;
    bool peerClosed = false;
    std::uint64_t moved = 0;  // bytes through the socket either way: shows progress
    Session latest;
    const std::function<bool()>* stop = nullptr;  // Options::stop, during the handshake
    Clock::time_point handshakeEnd{};                // Options::totalMs, during the handshake

    ~Impl() { release(); }
    void release() {
        if (ssl) SSL_free(ssl);  // frees the BIO too
        if (ctx) SSL_CTX_free(ctx);
        if (method) BIO_meth_free(method);
        ssl = nullptr;
        ctx = nullptr;
        method = nullptr;
        socket.close();
        ready = false;
    }

    static Impl* of(BIO* b) { return static_cast<Impl*>(BIO_get_data(b)); }
    static int bioWrite(BIO* b, const char* data, int size) {
        Impl* self = of(b);
        BIO_clear_retry_flags(b);
        std::size_t n = 0;
        switch (self->socket.sendSome(data, static_cast<std::size_t>(size), n)) {
        case net::IoResult::Done: self->moved += n; return static_cast<int>(n);
        case net::IoResult::WouldBlock: BIO_set_retry_write(b); return -1;
        default: self->peerClosed = true; return -1;
        }
    }
    static int bioRead(BIO* b, char* data, int size) {
        Impl* self = of(b);
        BIO_clear_retry_flags(b);
        std::size_t n = 0;
        switch (self->socket.receiveSome(data, static_cast<std::size_t>(size), n)) {
        case net::IoResult::Done: self->moved += n; return static_cast<int>(n);
        case net::IoResult::WouldBlock: BIO_set_retry_read(b); return -1;
        case net::IoResult::Closed: self->peerClosed = true; return 0;
        default: self->peerClosed = true; return -1;
        }
    }
    static long bioCtrl(BIO*, int cmd, long, void*) { return cmd == BIO_CTRL_FLUSH ? 1 : 0; }
    static int newSession(SSL* ssl, SSL_SESSION* session) {
        Impl* self = static_cast<Impl*>(SSL_get_app_data(ssl));
        self->latest.handle_ = std::make_shared<Session::Handle>(session, keyGroupOf(ssl));
        return 1;  // the reference is ours now
    }

    enum class Step { Progress, TimedOut, Aborted, Closed, Failed };
    // After an OpenSSL call returned `ret`: waits for what it needs, within the silence
    // bound counted from `lastProgress`.
    Step wait(int ret, int silenceMs, const std::atomic<bool>* abort, Clock::time_point& lastProgress,
              std::uint64_t& movedBefore) {
        int err = SSL_get_error(ssl, ret);
        if (err == SSL_ERROR_ZERO_RETURN) return Step::Closed;
        if (err != SSL_ERROR_WANT_READ && err != SSL_ERROR_WANT_WRITE)
            // Closed only when the connection simply ended; an alert or a protocol error
            // the library noted (an old server refusing our versions) is a failure.
            return peerClosed && err == SSL_ERROR_SYSCALL && ERR_peek_error() == 0 ? Step::Closed
                                                                                   : Step::Failed;
        if (moved != movedBefore) {
            movedBefore = moved;
            lastProgress = Clock::now();
        }
        for (;;) {
            if (abort && abort->load()) return Step::Aborted;
            const Clock::time_point now = Clock::now();
            auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastProgress);
            if (silent.count() >= silenceMs) return Step::TimedOut;
            long long wait = std::min<long long>(stepMs, silenceMs - silent.count());
            if (handshakeEnd != Clock::time_point{}) {
                if (now >= handshakeEnd) return Step::TimedOut;
                wait = std::min<long long>(
                    wait, std::chrono::duration_cast<std::chrono::milliseconds>(handshakeEnd - now).count() + 1);
            }
            bool ok = err == SSL_ERROR_WANT_READ ? socket.waitReadable(static_cast<int>(wait))
                                                 : socket.waitWritable(static_cast<int>(wait));
            if (ok) return Step::Progress;
            // Asked only once a slice passed with nothing from the peer: a quick server's
            // last handshake bytes, its data and its word elsewhere can come together.
            if (stop && *stop && (*stop)()) return Step::Aborted;
        }
    }
    // The context, the connection and our socket BIO, set for the host as typed and the
    // session to resume. False when one cannot be made (`why` then says so, or stays
    // empty for the library's own error).
    bool prepare(const Options& options, std::string& why) {
        ctx = sharedContext(options.extraCaFile, why);
        if (!ctx) return false;

        ssl = SSL_new(ctx);
        method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "velmo socket");
        if (!ssl || !method) return false;
        BIO_meth_set_write(method, &Impl::bioWrite);
        BIO_meth_set_read(method, &Impl::bioRead);
        BIO_meth_set_ctrl(method, &Impl::bioCtrl);
        BIO* bio = BIO_new(method);
        if (!bio) return false;
        BIO_set_data(bio, this);
        BIO_set_init(bio, 1);
        SSL_set_bio(ssl, bio, bio);
        SSL_set_app_data(ssl, this);

        if (isDottedIpv4(options.hostName)) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), options.hostName.c_str());
        } else {
            SSL_set_tlsext_host_name(ssl, options.hostName.c_str());
            SSL_set1_host(ssl, options.hostName.c_str());
        }
        if (!options.resume.empty()) {
            // A copy is offered: with TLS 1.3 the library marks a session it resumed as used
            // up, so offering the kept one itself would let only the first data connection
            // of a login resume it and every later one make a full handshake (which servers
            // that insist on resumption, proftpd and vsftpd, refuse).
            SSL_SESSION* copy = SSL_SESSION_dup(options.resume.handle_->session);
            if (!copy) return false;
            SSL_set_session(ssl, copy);
            SSL_SESSION_free(copy);  // the connection holds its own reference
            if (!options.resume.handle_->group.empty()) preferKeyGroup(ssl, options.resume.handle_->group);
        }
        return true;
    }

    // The certificate the server presented, judged by the stores, the host name and the
    // user's pin: `verification` and `ready`. False when the server presented none.
    bool judge(const Options& options) {
        X509* leaf = SSL_get1_peer_certificate(ssl);
        if (!leaf) return false;
        verification.certificate = describe(leaf);
        X509_free(leaf);
        long code = SSL_get_verify_result(ssl);
        if (!options.trustedCertificate.empty() && options.trustedCertificate == verification.certificate.der)
            code = X509_V_OK;  // pinned by the user: chain, dates and names no longer matter
        verification.reason = reasonOf(code);
        if (code != X509_V_OK) verification.detail = X509_verify_cert_error_string(code);
        ready = code == X509_V_OK;
        return true;
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
    m.latest = Session();
    m.peerClosed = false;
    m.socket = std::move(socket);
    if (!m.socket.valid() || !m.socket.setNonBlocking(true)) return Outcome::Failed;
    auto fail = [&](Outcome o, const std::string& why) {
        m.verification.detail = why.empty() ? lastError() : why;
        m.release();
        return o;
    };
    std::string why;
    if (!m.prepare(options, why)) return fail(Outcome::Failed, why);

    Clock::time_point lastProgress = Clock::now();
    std::uint64_t movedBefore = 0;
    struct StopScope {
        Impl& m;
        ~StopScope() {
            m.stop = nullptr;
            m.handshakeEnd = Clock::time_point{};
        }
    } scope{m};
    m.stop = &options.stop;
    if (options.totalMs > 0) m.handshakeEnd = Clock::now() + std::chrono::milliseconds(options.totalMs);
    for (;;) {
        int ret = SSL_connect(m.ssl);
        if (ret == 1) break;
        switch (m.wait(ret, options.timeoutMs, options.abort, lastProgress, movedBefore)) {
        case Impl::Step::Progress: continue;
        case Impl::Step::TimedOut: return fail(Outcome::TimedOut, "silent peer");
        case Impl::Step::Aborted: return fail(Outcome::Aborted, "aborted");
        case Impl::Step::Closed: return fail(Outcome::Closed, "closed by the peer");
        case Impl::Step::Failed: return fail(Outcome::Failed, "");
        }
    }

    if (!m.judge(options)) return fail(Outcome::Failed, "no server certificate");
    return m.ready ? Outcome::Done : Outcome::Untrusted;
}

const Verification& Stream::verification() const { return impl_->verification; }

void Stream::trustPresentedCertificate() {
    if (impl_->ssl) impl_->ready = true;
}

bool Stream::ready() const { return impl_->ready; }

bool Stream::closeNotified() const {
    return impl_->ssl && (SSL_get_shutdown(impl_->ssl) & SSL_RECEIVED_SHUTDOWN) != 0;
}

bool Stream::resumed() const { return impl_->ssl && SSL_session_reused(impl_->ssl) == 1; }

std::string Stream::protocol() const { return impl_->ssl ? SSL_get_version(impl_->ssl) : ""; }

Session Stream::session() const {
    if (!impl_->latest.empty() || !impl_->ssl) return impl_->latest;
    // A server without tickets or cache hands out no new session: the current one is all.
    Session s;
    if (SSL_SESSION* cur = SSL_get1_session(impl_->ssl)) {
        if (SSL_SESSION_is_resumable(cur)) s.handle_ = std::make_shared<Session::Handle>(cur, keyGroupOf(impl_->ssl));
        else SSL_SESSION_free(cur);
    }
    return s;
}

IoOutcome Stream::receiveSome(void* data, std::size_t size, std::size_t& moved, int silenceMs,
                              const std::atomic<bool>* abort) {
    Impl& m = *impl_;
    moved = 0;
    if (!m.ready) return IoOutcome::Error;
    Clock::time_point lastProgress = Clock::now();
    std::uint64_t movedBefore = m.moved;
    for (;;) {
        ERR_clear_error();
        if (SSL_read_ex(m.ssl, data, size, &moved) == 1) return IoOutcome::Done;
        switch (m.wait(0, silenceMs, abort, lastProgress, movedBefore)) {
        case Impl::Step::Progress: continue;
        case Impl::Step::TimedOut: return IoOutcome::TimedOut;
        case Impl::Step::Aborted: return IoOutcome::Aborted;
        case Impl::Step::Closed: return IoOutcome::Closed;
        case Impl::Step::Failed: m.verification.detail = lastError(); return IoOutcome::Error;
        }
    }
}

IoOutcome Stream::sendAll(const void* data, std::size_t size, int silenceMs,
                          const std::atomic<bool>* abort) {
    Impl& m = *impl_;
    if (!m.ready) return IoOutcome::Error;
    if (size == 0) return IoOutcome::Done;
    Clock::time_point lastProgress = Clock::now();
    std::uint64_t movedBefore = m.moved;
    for (;;) {
        ERR_clear_error();
        std::size_t written = 0;
        // Without partial writes, a retry after WANT_WRITE passes the same buffer and
        // OpenSSL carries on where it stopped.
        if (SSL_write_ex(m.ssl, data, size, &written) == 1) return IoOutcome::Done;
        switch (m.wait(0, silenceMs, abort, lastProgress, movedBefore)) {
        case Impl::Step::Progress: continue;
        case Impl::Step::TimedOut: return IoOutcome::TimedOut;
        case Impl::Step::Aborted: return IoOutcome::Aborted;
        case Impl::Step::Closed: return IoOutcome::Closed;
        case Impl::Step::Failed: m.verification.detail = lastError(); return IoOutcome::Error;
        }
    }
}

bool Stream::waitReadable(int timeoutMs) {
    Impl& m = *impl_;
    if (!m.ssl) return false;
    return SSL_pending(m.ssl) > 0 || m.socket.waitReadable(timeoutMs);
}

namespace {
int newSessionOf(SSL* ssl, SSL_SESSION* session) { return Stream::Impl::newSession(ssl, session); }
}  // namespace

bool Stream::close(int timeoutMs, int lingerMs) {
    Impl& m = *impl_;
    bool sent = false;
    if (m.ssl && !m.peerClosed) {
        Clock::time_point lastProgress = Clock::now();
        std::uint64_t movedBefore = m.moved;
        for (;;) {
            ERR_clear_error();
            int ret = SSL_shutdown(m.ssl);
            if (ret >= 0) {  // 0: ours is out, the peer's not read yet
                sent = true;
                break;
            }
            if (SSL_get_error(m.ssl, ret) != SSL_ERROR_WANT_WRITE ||
                m.wait(ret, timeoutMs, nullptr, lastProgress, movedBefore) != Impl::Step::Progress)
                break;
        }
    }
    if (sent && lingerMs > 0) {
        m.socket.shutdownSend();
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(lingerMs);
        for (;;) {
            ERR_clear_error();
            char scrap[1024];
            std::size_t got = 0;
            // Reading through the library takes in the tickets; application data after our
            // close_notify has no reader and is dropped.
            if (SSL_read_ex(m.ssl, scrap, sizeof scrap, &got) == 1) continue;
            if (SSL_get_error(m.ssl, 0) != SSL_ERROR_WANT_READ || m.peerClosed) break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) break;
            m.socket.waitReadable(static_cast<int>(std::min<long long>(left, stepMs)));
        }
    }
    m.release();
    return sent;
}

}  // namespace velmo::tls
