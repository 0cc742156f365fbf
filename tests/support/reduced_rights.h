// Takes rights away from a test for as long as the object lives.
//
//     OrdinaryRights rights;   // this thread meets file permissions as the account "nobody"
//                              // does (the tests run as root, which writes through them)
//     FileSizeLimit limit(2);  // writes past the second byte of any file fail (EFBIG)
#pragma once
#include <signal.h>
#include <sys/fsuid.h>
#include <sys/resource.h>

namespace velmo::testing {

class OrdinaryRights {
public:
    static constexpr unsigned nobody = 65534;
    OrdinaryRights() { ::setfsuid(nobody); }
    ~OrdinaryRights() { ::setfsuid(0); }
    OrdinaryRights(const OrdinaryRights&) = delete;
    OrdinaryRights& operator=(const OrdinaryRights&) = delete;
};

// For every thread of the process: the only sure way to make a write fail part-way.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previousSignal_ = ::signal(SIGXFSZ, SIG_IGN);  // fail the write, keep the process
        rlimit reduced = previous_;
        reduced.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &reduced);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, previousSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    sighandler_t previousSignal_{};
};

}  // namespace velmo::testing
