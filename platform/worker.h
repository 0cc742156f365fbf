// Worker threads: the network runs a program starts from its window (uploads, permission
// runs, listings, backups, updates).
//
// A worker runs detached: the window that started it does not wait for it, and may be
// gone long before it ends. So a worker owns (or shares ownership of) everything it uses:
// copies of its inputs, shared pointers to the program state it reports to. And a program
// whose window has closed ends through endProgram, which never destroys anything under a
// worker that still runs.
//
// An exception that escapes a worker's body would end the whole program on the spot
// (std::terminate: no message, nothing noted, exit code 3 on Windows). The worker catches
// it instead, and hands a short description of it to the failure handler, if one is set;
// the worker then ends as if its body had returned.
#pragma once
#include <chrono>
#include <functional>
#include <string>

namespace velmo::worker {

// Runs `body` on a new thread. False when the system gave no thread (`body` did not run).
// `body` itself is destroyed on the worker's thread before the worker counts as ended.
bool start(std::function<void()> body);

// What a worker's escaped exception becomes: the handler gets its what() (or "exception
// inconnue" for one that is no std::exception), on the worker's thread. One handler for the
// process (the program frame's); nullptr removes it, a failure is then only dropped. A
// handler that throws itself is not called again for that failure.
using FailureHandler = std::function<void(const std::string& what)>;
void setFailureHandler(FailureHandler handler);

// Workers started and not yet ended.
int running();

// Blocks until no worker runs, at most `limit`; false when some still run then.
bool waitForAll(std::chrono::milliseconds limit = std::chrono::hours(24));

// The last step of a program whose event loop has ended, in place of returning `code`
// from its entry: with no worker running, returns `code` (the program then ends as usual).
// With workers still running it ends the process at once with `code`, running no static
// destructors and no exit handlers: what they use stays as it is until the process is gone.
int endProgram(int code);

}  // namespace velmo::worker
