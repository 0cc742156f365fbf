#include "trust/tool_connection.h"

#include <utility>

#include "settings/known_servers.h"

namespace velmo {

std::shared_ptr<ServerTrust> toolTrust(ServerTrust::Ask ask) {
    return std::make_shared<ServerTrust>(knownServersPath, std::move(ask));
}

suite::Notice connectionFailureNotice(ftp::Failure failure) {
    const char* text = suite::connectionErrorText;
    switch (failure) {
    case ftp::Failure::TlsDowngrade: text = suite::tlsDowngradeText; break;
    case ftp::Failure::TlsFailed: text = suite::tlsFailedText; break;
    case ftp::Failure::CertificateRefused: text = suite::certificateRefusedText; break;
    default: break;
    }
    return {suite::titles::warning, text, suite::NoticeKind::Warning};
}

ftp::Failure failureOf(ftp::TlsStart start) {
    switch (start) {
    case ftp::TlsStart::Plain:
    case ftp::TlsStart::Encrypted: return ftp::Failure::None;
    case ftp::TlsStart::Downgrade: return ftp::Failure::TlsDowngrade;
    case ftp::TlsStart::CertificateRefused: return ftp::Failure::CertificateRefused;
    case ftp::TlsStart::TimedOut: return ftp::Failure::TimedOut;
    case ftp::TlsStart::Failed: break;
    }
    return ftp::Failure::TlsFailed;
}

}  // namespace velmo
