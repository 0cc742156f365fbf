#include "trust/server_trust.h"

#include "platform/text_codec.h"
#include "settings/known_servers.h"

namespace velmo {
namespace {

constexpr const char* questionTitle = "Certificat du serveur.";

const char* reasonText(tls::Reason reason) {
    switch (reason) {
    case tls::Reason::Untrusted:
        return "il n'a pas été délivré par une autorité reconnue (certificat auto-signé, par exemple).";
    case tls::Reason::OutOfDate: return "il n'est pas en cours de validité (expiré, ou pas encore valide).";
    case tls::Reason::NameMismatch: return "il a été délivré pour un autre nom que l'adresse saisie.";
    case tls::Reason::Other:
    case tls::Reason::None: break;
    }
    return "le système l'a refusé.";
}

// A certificate's name as the question shows it: the server chose every byte of it, so it
// stays on its one line (a line break could pass a forged fingerprint for the real one) and
// within a length a box can show. UTF-8 in, CP1252 out.
std::string shownName(const std::string& utf8) {
    constexpr std::size_t maxChars = 200;
    std::string text = text::utf8ToCp1252(utf8);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    if (text.size() > maxChars) text = text.substr(0, maxChars) + "...";
    return text;
}

}  // namespace

suite::Notice certificateQuestion(const ftp::CertificateQuestion& question) {
    const tls::CertificateInfo& c = question.verification.certificate;
    const std::string server = question.host + " (port " + std::to_string(question.port) + ")";
    std::string text;
    if (question.changed)
        text = "Le certificat du serveur " + server +
               " a changé depuis que vous l'avez accepté, et le système ne peut pas le vérifier : ";
    else
        text = "Le serveur " + server + " propose une connexion chiffrée, mais son certificat n'a pas pu être vérifié : ";
    text += reasonText(question.verification.reason);
    text += "\r\n\r\nSujet : " + shownName(c.subject);
    text += "\r\nÉmetteur : " + shownName(c.issuer);
    text += "\r\nValide du " + c.notBefore + " au " + c.notAfter + " (UTC)";
    text += "\r\nEmpreinte SHA-256 : " + c.sha256;
    text += "\r\n\r\nOui : faire confiance à ce certificat pour ce serveur (la question ne sera plus posée)."
            "\r\nNon : abandonner la connexion.";
    return {questionTitle, text, suite::NoticeKind::Warning};
}

ServerTrust::ServerTrust(std::string knownServersFile, Ask ask)
    : file_(std::move(knownServersFile)), ask_(std::move(ask)) {}

bool ServerTrust::seenWithTls(const std::string& host, int port) {
    return readKnownServer(file_, host, port).seenWithTls;
}

void ServerTrust::rememberTls(const std::string& host, int port) {
    // Written once per server, not at every login.
    if (!seenWithTls(host, port)) rememberKnownServer(file_, host, port, "");
}

std::string ServerTrust::keptCertificate(const std::string& host, int port) {
    return readKnownServer(file_, host, port).certificateDer;
}

bool ServerTrust::askAboutCertificate(const ftp::CertificateQuestion& question) {
    if (!ask_ || !ask_(certificateQuestion(question))) return false;
    rememberKnownServer(file_, question.host, question.port, question.verification.certificate.der);
    return true;
}

}  // namespace velmo
