// Command lines and the few reply texts the session layer reads inside (PWD, PASV) or
// writes (PORT). Pure functions over bytes, so every form can be tested without a server.
#pragma once
#include <cstddef>
#include <string>

namespace velmo::ftp {

// A command line is built in a buffer of this size (C-string heritage: one byte is the
// terminator), so word, blank, argument and CR LF stay within 1023 bytes.
constexpr std::size_t CommandBufferSize = 1024;

// "WORD\r\n". False (line left empty) when the word holds CR, LF or NUL.
bool commandLine(const std::string& word, std::string& line);
// "WORD " + argument + "\r\n". False when the argument holds CR, LF or NUL (a second
// command would ride on the first) or when the line would not fit the command buffer
// (cutting it would send another name than the caller's).
bool commandLine(const std::string& word, const std::string& argument, std::string& line);

// Directory of a 257 reply line: fourth character a blank, fifth a double quote; the
// name runs from the sixth character to the first double quote that is followed by a
// blank or by the end of the line. Any other form gives "".
std::string parsePwdReply(const std::string& line);

// Address and port of a 227 reply line: from the fourth character on, the first six runs
// of decimal digits are h1..h4, p1, p2. False with fewer than six runs or a number above
// 255 (no such address or port byte exists).
bool parsePasvReply(const std::string& line, std::string& host, int& port);

// "h1,h2,h3,h4,p1,p2" for a dotted IPv4 address and a port; "" when the address is not
// four decimal numbers of 0..255 or the port is outside 0..65535.
std::string formatPortArgument(const std::string& ipv4, int port);

}  // namespace velmo::ftp
