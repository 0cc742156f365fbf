// The reply texts the session reads inside (PWD's 257, PASV's 227) and the lines it
// writes: any bytes parse without harm, and what is read back is what would be written.
//   - a directory read from a 257 line is read back the same from "257 \"" + it + "\"";
//   - an address and port read from a 227 line are a dotted IPv4 address and a port, and
//     the PORT argument written for them reads back the same;
//   - a command line, when one is built, is the word, the argument and one CR LF at its
//     end, within the command buffer.
// The input is split at its first NUL into a reply line and a command argument.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ftp/wire_text.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "wire_text: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmo::ftp;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string line = input.substr(0, nul);
    const std::string argument = nul == std::string::npos ? std::string() : input.substr(nul + 1);

    const std::string directory = parsePwdReply(line);
    if (!directory.empty() && parsePwdReply("257 \"" + directory + "\"") != directory)
        fail("a directory read from a 257 line does not read back");

    std::string host;
    int port = -1;
    if (parsePasvReply(line, host, port)) {
        if (port < 0 || port > 65535) fail("a 227 port outside 0..65535");
        const std::string portArgument = formatPortArgument(host, port);
        if (portArgument.empty()) fail("a 227 address is no dotted IPv4 address");
        std::string backHost;
        int backPort = -1;
        if (!parsePasvReply("227 (" + portArgument + ")", backHost, backPort) || backHost != host || backPort != port)
            fail("the PORT argument for a 227 address does not read back");
    }

    std::string command;
    if (commandLine("STOR", argument, command)) {
        if (command.size() >= CommandBufferSize) fail("a command line past the command buffer");
        if (command != "STOR " + argument + "\r\n") fail("a command line is not word, argument and CR LF");
        if (command.find_first_of(std::string("\r\n\0", 3)) != command.size() - 2)
            fail("a line break or NUL inside a command line");
    }
    return 0;
}
