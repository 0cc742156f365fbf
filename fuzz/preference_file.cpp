// The ".pcfg" text: any bytes are read, written back, and read and written again. The
// second reading must find the items and encoding of the first, and the second writing
// the bytes of the first: a file the tools rewrite never drifts from one save to the next.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/preference_text.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "preference_file: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmo::pcfg;
    const Text first = parseText(std::string(reinterpret_cast<const char*>(data), size));
    const std::string written = renderText(first);
    const Text second = parseText(written);
    if (second.utf8 != first.utf8) fail("the encoding changed when the written file was read");
    if (second.items != first.items) fail("the items changed when the written file was read");
    if (renderText(second) != written) fail("the second writing differs from the first");
    return 0;
}
