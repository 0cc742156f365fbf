// Writes the TLS tests' certificates (tests/support/tls_certificates.h) into a folder, for
// the Wine test of the Windows build's TLS stream:  make_tls_certificates FOLDER
#include <cstdio>
#include <exception>

#include "tests/support/tls_certificates.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_tls_certificates FOLDER\n");
        return 2;
    }
    try {
        velmo::testsupport::TlsCertificates made(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
