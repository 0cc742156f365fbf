// The scripted server (scripted_server.h) speaking HTTP: the update client's request
// as the server must read it, and addresses pointing at the server.
//
//     ScriptedServer server;
//     expectGet(server, "/velmo-maj/list.pcfg")
//         .reply("HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n" "only twelve!")
//         .drop();
//     server.start();
//     http::downloadFile(scriptedUrl(server, "velmo-maj/list.pcfg"), "out");
//
// Each expectGet reads one request on the current connection (a drop() before it makes it
// accept the next connection, as a client following a redirect opens one).
#pragma once
#include <string>

#include "tests/support/scripted_server.h"

namespace velmo::testsupport {

// The five lines of the update client's GET for `target` ("/" and the path) to this host.
inline ScriptedServer& expectGet(ScriptedServer& server, const std::string& target) {
    return server.expect("GET " + target + " HTTP/1.1\r\n")
        .expect("Accept: */*\r\n")
        .expect("Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n")
        .expect("Connection: close\r\n")
        .expect("\r\n");
}

// "http://127.0.0.1:<port>/" + path.
inline std::string scriptedUrl(const ScriptedServer& server, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(server.port()) + "/" + path;
}

}  // namespace velmo::testsupport
