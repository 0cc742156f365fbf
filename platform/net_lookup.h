// Name lookup within a time bound, shared by the POSIX and Win32 socket files (which
// supply the system's own, blocking, lookup). Not for use above platform/.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/net.h"

namespace velmo::net::detail {

enum class LookupResult { Found, NotFound, TimedOut, Aborted };

// A dotted IPv4 address (read by `numeric`) and "localhost" (any letter case) are answered
// at once, without asking the system. Any other name is handed to `blocking` on a thread of
// its own and waited for at most `timeoutMs`, or until `abort` is set; the thread owns
// what it uses, so a lookup still running when the wait ends finishes harmlessly later.
// `address` is in network byte order.
LookupResult lookupIpv4(const std::string& host, std::uint32_t& address, int timeoutMs,
                        const std::atomic<bool>* abort,
                        bool (*numeric)(const std::string&, std::uint32_t&),
                        bool (*blocking)(const std::string&, std::uint32_t&));

// The first step of a bounded connect, the same on every platform: the port's range, then
// the lookup above within timeoutMs, told as the connect's outcome (NoAddress, TimedOut,
// Aborted). True, with `address` found and `result` set to Refused (what a connect that
// fails from here on reports), when the connect may go on.
bool addressForConnect(const std::string& host, int port, int timeoutMs, const std::atomic<bool>* abort,
                       bool (*numeric)(const std::string&, std::uint32_t&),
                       bool (*blocking)(const std::string&, std::uint32_t&), std::uint32_t& address,
                       Socket::ConnectOutcome& result);

}  // namespace velmo::net::detail
