// For the tests only: a CA the update client trusts over https beside the system's store
// (the tests' own CA of tests/support/tls_certificates.h). The programs never call it: an
// official site's certificate must hold against the system's store alone.
#pragma once
#include <string>

namespace velmo::http {

// Process-wide, for every later connection; "" goes back to the system's store alone.
void setExtraCaFileForTests(const std::string& pemFile);

}  // namespace velmo::http
