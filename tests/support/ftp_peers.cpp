// Starting and stopping the real FTP servers used as test peers (see ftp_peers.h).
//
// This file is test infrastructure for the Linux test build only, so it talks to POSIX
// directly: it needs process groups, signals, account lookups and crypt(3), none of which
// the program's platform layer offers (the programs never need them).
#include "tests/support/ftp_peers.h"

#include <crypt.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "platform/net.h"

namespace velmo::testsupport {
namespace {

namespace fsys = std::filesystem;
using Clock = std::chrono::steady_clock;

// Startup of a daemon on an idle machine takes well under a second; the limit only
// matters when something is wrong, and then the failure message says what.
constexpr auto greetingLimit = std::chrono::seconds(20);
constexpr int startAttempts = 3;

std::string peersDir() {
    const char* dir = std::getenv("VELMO_PEERS_DIR");
    return (dir && *dir) ? dir : "/opt/velmo-peers";
}

std::string randomText(std::size_t length, const char* alphabet) {
    static std::mt19937_64 generator{std::random_device{}()};
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    std::string out;
    std::size_t n = std::strlen(alphabet);
    std::uniform_int_distribution<std::size_t> pick(0, n - 1);
    for (std::size_t i = 0; i < length; ++i) out += alphabet[pick(generator)];
    return out;
}

int randomInt(int low, int high) {
    static std::mt19937 generator{std::random_device{}()};
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    return std::uniform_int_distribution<int>(low, high)(generator);
}

void writeFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw PeerError("cannot write " + path);
    ::chmod(path.c_str(), mode);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void requireExecutable(const std::string& path, const char* hint) {
    if (::access(path.c_str(), X_OK) != 0)
        throw PeerError("FTP peer program missing: " + path + " (" + hint + ")");
}

// Runs a helper program to its end; its output goes to `outputPath`.
void runToEnd(const std::vector<std::string>& argv, const std::string& outputPath) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) throw PeerError("fork failed");
    if (pid == 0) {
        int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        int in = ::open("/dev/null", O_RDONLY);
        if (out >= 0) { ::dup2(out, 1); ::dup2(out, 2); }
        if (in >= 0) ::dup2(in, 0);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw PeerError("helper failed: " + argv[0] + "\n" + readFile(outputPath));
}

// SHA-512 crypt hash, which pure-ftpd's puredb and proftpd's AuthUserFile both accept
// (and check in a few milliseconds, unlike pure-pw's own costly default).
std::string cryptHash(const std::string& password) {
    std::string setting =
        "$6$" + randomText(16, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789./");
    struct crypt_data data;
    std::memset(&data, 0, sizeof data);
    const char* hash = ::crypt_r(password.c_str(), setting.c_str(), &data);
    if (!hash || hash[0] != '$') throw PeerError("crypt_r failed");
    return hash;
}

// The daemons drop to an unprivileged account for the session; vsftpd also insists that
// the account's home folder exists. Debian always has "daemon" (home /usr/sbin).
void serverAccount(int& uid, int& gid, std::string& userName, std::string& groupName) {
    struct passwd* pw = ::getpwnam("daemon");
    struct stat st;
    if (!pw || pw->pw_uid == 0 || !pw->pw_dir || ::stat(pw->pw_dir, &st) != 0) {
        pw = nullptr;
        ::setpwent();
        while (struct passwd* p = ::getpwent()) {
            if (p->pw_uid != 0 && p->pw_dir && ::stat(p->pw_dir, &st) == 0 && S_ISDIR(st.st_mode)) {
                pw = p;
                break;
            }
        }
        ::endpwent();
    }
    if (!pw) throw PeerError("no unprivileged account with an existing home folder");
    uid = static_cast<int>(pw->pw_uid);
    gid = static_cast<int>(pw->pw_gid);
    userName = pw->pw_name;
    struct group* gr = ::getgrgid(pw->pw_gid);
    groupName = gr ? gr->gr_name : std::to_string(gid);
}

// True when the certificate's key is RSA (from openssl's own description of it).
bool certificateKeyIsRsa(const std::string& certFile, const std::string& scratch) {
    ::unlink(scratch.c_str());
    runToEnd({"/usr/bin/openssl", "x509", "-noout", "-text", "-in", certFile}, scratch);
    return readFile(scratch).find("Public Key Algorithm: rsaEncryption") != std::string::npos;
}

const char* pyftpdlibScript = R"PY(
import logging, os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer
port, user, password, home, perm, idle, low, high, login, tls, cert, key = sys.argv[1:13]
# DEBUG makes the handler log every received command ("<- PWD") on stderr.
logging.basicConfig(level=logging.DEBUG, format='%(message)s', stream=sys.stderr)
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, home, perm=perm)
for folder in sys.argv[13:]:
    authorizer.override_perm(user, os.path.join(home, folder), 'elr', recursive=True)
# tls: "off", "offered" (AUTH TLS answered, clear logins and data still taken) or
# "required" (a login or a transfer in clear is refused).
class Handler(TLS_FTPHandler if tls != 'off' else FTPHandler):
    def on_login(self, username):
        if login:
            self.fs.cwd = '/' + login
Handler.authorizer = authorizer
Handler.passive_ports = range(int(low), int(high))
Handler.auth_failed_timeout = 0.5
if int(idle) > 0:
    Handler.timeout = int(idle)
if tls != 'off':
    Handler.certfile = cert
    Handler.keyfile = key
    Handler.tls_control_required = Handler.tls_data_required = tls == 'required'
server = FTPServer(('127.0.0.1', int(port)), Handler)
# The idle timer is only checked when the loop wakes up by itself.
server.serve_forever(timeout=0.5)
)PY";

const char* dbmScript =
    "import dbm.ndbm, sys\n"
    "db = dbm.ndbm.open(sys.argv[1], 'n', 0o600)\n"
    "db[sys.argv[2].encode()] = sys.argv[3].encode()\n"
    "db.close()\n";

}  // namespace

const char* peerKindName(PeerKind kind) {
    switch (kind) {
        case PeerKind::Pyftpdlib: return "pyftpdlib";
        case PeerKind::Vsftpd: return "vsftpd";
        case PeerKind::PureFtpd: return "pureftpd";
        case PeerKind::Proftpd: return "proftpd";
    }
    return "?";
}

bool peerKindFromName(const std::string& name, PeerKind& kind) {
    for (PeerKind k : {PeerKind::Pyftpdlib, PeerKind::Vsftpd, PeerKind::PureFtpd, PeerKind::Proftpd}) {
        if (name == peerKindName(k) || (k == PeerKind::PureFtpd && name == "pure-ftpd")) {
            kind = k;
            return true;
        }
    }
    return false;
}

std::vector<PeerKind> peerKindsUnderTest() {
    std::vector<PeerKind> all = {PeerKind::Pyftpdlib, PeerKind::Vsftpd, PeerKind::PureFtpd,
                                 PeerKind::Proftpd};
    const char* chosen = std::getenv("VELMO_FTP_PEERS");
    if (!chosen || !*chosen) return all;
    std::vector<PeerKind> out;
    std::stringstream list(chosen);
    std::string name;
    while (std::getline(list, name, ',')) {
        PeerKind k;
        // An unknown name is kept as a failing test rather than dropped: a typo must
        // not turn into a run that silently tests less.
        if (!peerKindFromName(name, k)) throw PeerError("VELMO_FTP_PEERS: unknown kind " + name);
        out.push_back(k);
    }
    return out;
}

std::vector<PeerKind> peerKindsWithIdleSeconds() {
    std::vector<PeerKind> out;
    for (PeerKind k : peerKindsUnderTest())
        if (k != PeerKind::PureFtpd) out.push_back(k);
    return out;
}

bool FtpPeer::logsCommands(PeerKind kind) { return kind != PeerKind::PureFtpd; }

FtpPeer::FtpPeer(PeerKind kind, PeerOptions options) : kind_(kind), options_(std::move(options)) {
    char pattern[] = "/tmp/velmo-peer-XXXXXX";
    if (!::mkdtemp(pattern)) throw PeerError("mkdtemp failed");
    base_ = pattern;
    try {
        // The daemons' unprivileged session processes must reach the home below it.
        ::chmod(base_.c_str(), 0755);
        home_ = base_ + "/home";
        outputPath_ = base_ + "/output.txt";
        user_ = "velmo" + randomText(6, "abcdefghijklmnopqrstuvwxyz");
        password_ = randomText(16, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
        prepare();
        for (int attempt = 1;; ++attempt) {
            port_ = freeLoopbackPort();
            launch();
            if (waitForGreeting()) break;
            // Most often the port was taken between choosing and binding it: try another.
            std::string output = serverOutput();
            stop();
            if (attempt == startAttempts)
                throw PeerError(std::string(peerKindName(kind_)) + " did not start on 127.0.0.1:" +
                                std::to_string(port_) + "\n" + output);
        }
    } catch (...) {
        stop();
        if (!pamService_.empty()) ::unlink(pamService_.c_str());
        std::error_code ignored;
        fsys::remove_all(base_, ignored);
        throw;
    }
}

FtpPeer::~FtpPeer() {
    stop();
    if (!pamService_.empty()) ::unlink(pamService_.c_str());
    if (!std::getenv("VELMO_KEEP_PEER_DIRS")) {
        std::error_code ignored;
        fsys::remove_all(base_, ignored);
    }
}

void FtpPeer::makeFolder(const std::string& relativePath) const {
    std::string path = home_ + "/" + relativePath;
    fsys::create_directories(path);
    if (serverUid_ >= 0 && ::chown(path.c_str(), serverUid_, serverGid_) != 0)
        throw PeerError("cannot chown " + path);
}

void FtpPeer::prepare() {
    fsys::create_directories(home_);
    const std::string sbin = peersDir();
    std::string account, group;
    if (kind_ != PeerKind::Pyftpdlib) {
        if (::geteuid() != 0)
            throw PeerError(std::string(peerKindName(kind_)) + " peer needs root (it switches accounts)");
        serverAccount(serverUid_, serverGid_, account, group);
        if (::chown(home_.c_str(), serverUid_, serverGid_) != 0) throw PeerError("cannot chown home");
    }
    if (!options_.loginFolder.empty()) {
        if (kind_ != PeerKind::Pyftpdlib) throw PeerError("a login folder is only set up for pyftpdlib");
        makeFolder(options_.loginFolder);
    }
    for (const auto& folder : options_.readOnlyFolders) {
        makeFolder(folder);
        // Only binds the daemons, which store as the unprivileged account; pyftpdlib gets
        // a permission override instead.
        ::chmod((home_ + "/" + folder).c_str(), 0555);
    }

    switch (kind_) {
        case PeerKind::Pyftpdlib: {
            const std::string python = "/usr/bin/python3";
            requireExecutable(python, "python3 with python3-pyftpdlib");
            // Passive ports below the kernel's ephemeral range; pyftpdlib falls back to
            // a system-chosen port when the whole window is busy.
            int low = randomInt(20000, 29000);
            argv_ = {python, "-c", pyftpdlibScript, "PORT", user_, password_, home_,
                     options_.allowWrite ? "elradfmwMT" : "elr",
                     std::to_string(options_.idleTimeoutSeconds), std::to_string(low),
                     std::to_string(low + 200), options_.loginFolder,
                     options_.tls == PeerOptions::Tls::Off        ? "off"
                     : options_.tls == PeerOptions::Tls::Offered ? "offered"
                                                                 : "required",
                     options_.tlsCertFile, options_.tlsKeyFile};
            for (const auto& folder : options_.readOnlyFolders) argv_.push_back(folder);
            commandLogPath_ = outputPath_;
            break;
        }
        case PeerKind::Vsftpd: {
            const std::string program = sbin + "/vsftpd/usr/sbin/vsftpd";
            requireExecutable(program, "run scripts/install-deps.sh");
            requireExecutable("/usr/bin/python3", "writes the pam_userdb file");
            // pam_userdb reads a Berkeley DB "user -> password" file; python's dbm.ndbm
            // writes exactly that (it appends ".db", which pam_userdb also does).
            const std::string db = base_ + "/users";
            runToEnd({"/usr/bin/python3", "-c", dbmScript, db, user_, password_}, outputPath_);
            // PAM looks services up by name in /etc/pam.d only, and lower-cases the
            // name first; a unique lower-case name keeps parallel peers apart.
            pamService_ = "/etc/pam.d/velmo-ftp-peer-" + randomText(12, "abcdefghijklmnopqrstuvwxyz0123456789");
            writeFile(pamService_, "auth required pam_userdb.so db=" + db +
                                       "\naccount required pam_userdb.so db=" + db + "\n");
            fsys::create_directories(base_ + "/empty");
            ::chmod((base_ + "/empty").c_str(), 0755);
            commandLogPath_ = base_ + "/vsftpd.log";
            std::string conf =
                "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=PORT\n"
                "background=NO\nanonymous_enable=NO\nlocal_enable=YES\n"
                "write_enable=" + std::string(options_.allowWrite ? "YES" : "NO") + "\n"
                "local_umask=022\n"
                "guest_enable=YES\nguest_username=" + account + "\nvirtual_use_local_privs=YES\n"
                "local_root=" + home_ + "\nchroot_local_user=YES\nallow_writeable_chroot=YES\n"
                "pam_service_name=" + fsys::path(pamService_).filename().string() + "\n"
                "secure_chroot_dir=" + base_ + "/empty\n"
                "seccomp_sandbox=NO\npasv_enable=YES\nport_enable=YES\nconnect_from_port_20=NO\n"
                "delay_failed_login=0\ndelay_successful_login=0\n"
                "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\n"
                "vsftpd_log_file=" + commandLogPath_ + "\n";
            if (options_.idleTimeoutSeconds > 0)
                conf += "idle_session_timeout=" + std::to_string(options_.idleTimeoutSeconds) + "\n";
            if (options_.tls != PeerOptions::Tls::Off) {
                // require_ssl_reuse stays at its default (YES): data connections must resume
                // the control connection's TLS session.
                const std::string forced = options_.tls == PeerOptions::Tls::Required ? "YES" : "NO";
                conf += "ssl_enable=YES\nrsa_cert_file=" + options_.tlsCertFile +
                        "\nrsa_private_key_file=" + options_.tlsKeyFile + "\nforce_local_logins_ssl=" + forced +
                        "\nforce_local_data_ssl=" + forced + "\n";
            }
            // The port is filled in at each launch.
            writeFile(base_ + "/vsftpd.conf.in", conf);
            argv_ = {program, base_ + "/vsftpd.conf"};
            break;
        }
        case PeerKind::PureFtpd: {
            const std::string program = sbin + "/pure-ftpd/usr/sbin/pure-ftpd";
            const std::string purePw = sbin + "/pure-ftpd/usr/bin/pure-pw";
            requireExecutable(program, "run scripts/install-deps.sh");
            requireExecutable(purePw, "run scripts/install-deps.sh");
            // "/./" in the home makes pure-ftpd chroot the user there.
            const std::string passwd = base_ + "/pureftpd.passwd";
            const std::string pdb = base_ + "/pureftpd.pdb";
            writeFile(passwd,
                      user_ + ":" + cryptHash(password_) + ":" + std::to_string(serverUid_) + ":" +
                          std::to_string(serverGid_) + "::" + home_ + "/./::::::::::::\n",
                      0600);
            runToEnd({purePw, "mkdb", pdb, "-f", passwd}, outputPath_);
            if (!options_.allowWrite) ::chmod(home_.c_str(), 0555);
            int minutes = options_.idleTimeoutSeconds > 0 ? (options_.idleTimeoutSeconds + 59) / 60 : 15;
            argv_ = {program, "-S", "127.0.0.1,PORT", "-l", "puredb:" + pdb, "-E", "-H", "-A", "-j",
                     "-I", std::to_string(minutes)};
            if (options_.tls != PeerOptions::Tls::Off) {
                // 1: TLS offered; 2: logins in clear refused; 3: data in clear refused too.
                argv_.push_back(options_.tls == PeerOptions::Tls::Required ? "--tls=3" : "--tls=1");
                argv_.push_back("--certfile=" + options_.tlsCertFile + "," + options_.tlsKeyFile);
            }
            break;
        }
        case PeerKind::Proftpd: {
            const std::string program = sbin + "/proftpd/usr/sbin/proftpd";
            requireExecutable(program, "run scripts/install-deps.sh");
            writeFile(base_ + "/passwd",
                      user_ + ":" + cryptHash(password_) + ":" + std::to_string(serverUid_) + ":" +
                          std::to_string(serverGid_) + "::" + home_ + ":/bin/false\n",
                      0600);
            writeFile(base_ + "/group", group + ":x:" + std::to_string(serverGid_) + ":\n", 0600);
            commandLogPath_ = base_ + "/commands.log";
            std::string conf =
                "ServerType standalone\nServerName \"velmo test peer\"\n"
                "DefaultAddress 127.0.0.1\nSocketBindTight on\nUseIPv6 off\nPort PORT\n"
                "User " + account + "\nGroup " + group + "\n"
                "PidFile " + base_ + "/proftpd.pid\nScoreboardFile " + base_ + "/proftpd.scoreboard\n"
                "DelayTable none\nDelayEngine off\nWtmpLog off\nUseReverseDNS off\n"
                "AuthOrder mod_auth_file.c\nAuthUserFile " + base_ + "/passwd\n"
                "AuthGroupFile " + base_ + "/group\nRequireValidShell off\nDefaultRoot ~\n"
                "Umask 022\nAllowOverwrite on\n"
                "SystemLog " + base_ + "/proftpd.log\nTransferLog none\n"
                "LogFormat commands \"%r\"\nExtendedLog " + commandLogPath_ + " ALL commands\n";
            if (options_.idleTimeoutSeconds > 0)
                conf += "TimeoutIdle " + std::to_string(options_.idleTimeoutSeconds) + "\n";
            if (!options_.allowWrite) conf += "<Limit WRITE>\n  DenyAll\n</Limit>\n";
            if (options_.tls != PeerOptions::Tls::Off) {
                // mod_tls comes from proftpd-mod-crypto, unpacked next to the program, not
                // from the path the program was built with.
                const std::string modules = sbin + "/proftpd/usr/lib/proftpd";
                if (::access((modules + "/mod_tls.so").c_str(), R_OK) != 0)
                    throw PeerError("proftpd's mod_tls missing in " + modules + " (run scripts/install-deps.sh)");
                // mod_tls files a certificate under its key's type.
                const std::string type = certificateKeyIsRsa(options_.tlsCertFile, base_ + "/x509.txt") ? "RSA" : "EC";
                // TLSRequired on: logins and transfers in clear are refused. Data connections
                // must resume a TLS session of this login (mod_tls's default, kept).
                conf += "ModulePath " + modules + "\nLoadModule mod_tls.c\n"
                        "TLSEngine on\nTLSLog " + base_ + "/tls.log\nTLSProtocol TLSv1.2 TLSv1.3\n"
                        "TLS" + type + "CertificateFile " + options_.tlsCertFile + "\n"
                        "TLS" + type + "CertificateKeyFile " + options_.tlsKeyFile + "\n"
                        "TLSVerifyClient off\nTLSRenegotiate none\n"
                        "TLSRequired " + std::string(options_.tls == PeerOptions::Tls::Required ? "on" : "off") + "\n";
            }
            writeFile(base_ + "/proftpd.conf.in", conf);
            argv_ = {program, "-n", "-q", "-c", base_ + "/proftpd.conf"};
            break;
        }
    }
}

void FtpPeer::launch() {
    const std::string port = std::to_string(port_);
    std::vector<std::string> argv = argv_;
    for (auto& a : argv) {
        if (a == "PORT") a = port;
        else if (a == "127.0.0.1,PORT") a = "127.0.0.1," + port;
    }
    for (const char* name : {"vsftpd.conf", "proftpd.conf"}) {
        std::string in = base_ + "/" + name + ".in";
        if (!fsys::exists(in)) continue;
        std::string text = readFile(in);
        for (const char* key : {"listen_port=PORT\n", "Port PORT\n"}) {
            std::size_t at = text.find(key);
            if (at == std::string::npos) continue;
            std::string replacement = key;
            replacement.replace(replacement.find("PORT"), 4, port);
            text.replace(at, std::strlen(key), replacement);
        }
        writeFile(base_ + "/" + name, text);
    }

    // Its own process group, so stopping it also reaches the per-session processes.
    process_.start(argv, outputPath_);
}

bool FtpPeer::waitForGreeting() {
    const auto deadline = Clock::now() + greetingLimit;
    while (Clock::now() < deadline) {
        if (!process_.running()) return false;
        net::Socket s = net::Socket::connectTo(host_, port_);
        if (s.valid()) {
            // The whole greeting, up to its final "220 " line (pure-ftpd sends six lines).
            std::string text;
            while (Clock::now() < deadline && s.waitReadable(200)) {
                char buffer[1024];
                std::size_t moved = 0;
                if (s.receiveSome(buffer, sizeof buffer, moved) != net::IoResult::Done || moved == 0)
                    break;
                text.append(buffer, moved);
                if (text.rfind("220 ", 0) == 0 || text.find("\n220 ") != std::string::npos) {
                    if (text.back() == '\n') return true;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void FtpPeer::stop() {
    // TERM, then KILL for session processes that outlived the listener or a listener that
    // ignored TERM.
    process_.stop();
}

std::string FtpPeer::serverOutput() const {
    std::string out = readFile(outputPath_);
    for (const char* log : {"/vsftpd.log", "/proftpd.log", "/commands.log", "/tls.log"}) {
        std::string path = base_ + log;
        if (fsys::exists(path)) out += "\n--- " + path + "\n" + readFile(path);
    }
    return out;
}

std::vector<std::string> FtpPeer::receivedCommands() const {
    std::vector<std::string> out;
    if (!logsCommands(kind_)) return out;
    std::istringstream lines(readFile(commandLogPath_));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        switch (kind_) {
            case PeerKind::Pyftpdlib: {
                // "127.0.0.1:40312-[velmoabc] <- PWD"
                std::size_t at = line.find("] <- ");
                if (at != std::string::npos) out.push_back(line.substr(at + 5));
                break;
            }
            case PeerKind::Vsftpd: {
                // `... [velmoabc] FTP command: Client "127.0.0.1", "PWD"`
                std::size_t at = line.find("FTP command: Client \"");
                if (at == std::string::npos) break;
                at = line.find("\", \"", at);
                if (at == std::string::npos || line.back() != '"') break;
                out.push_back(line.substr(at + 4, line.size() - at - 5));
                break;
            }
            case PeerKind::Proftpd:
                if (!line.empty()) out.push_back(line);
                break;
            case PeerKind::PureFtpd:
                break;
        }
    }
    return out;
}

}  // namespace velmo::testsupport
