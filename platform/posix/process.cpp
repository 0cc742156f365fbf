#include <fcntl.h>
#include <sys/types.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/text_codec.h"

extern char** environ;

namespace velmo::process {
namespace {

// Splits a Windows-style command line: double quotes group, a quote inside is not escaped
// (the suite's command lines are a quoted path followed by plain arguments).
std::vector<std::string> splitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    std::string cur;
    bool inQuotes = false, have = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            have = true;
        } else if (c == ' ' && !inQuotes) {
            if (have) args.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur += c;
            have = true;
        }
    }
    if (have) args.push_back(cur);
    return args;
}

bool spawnDetached(const std::vector<std::string>& args, const std::string& workingDirectory,
                   bool searchPath) {
    if (args.empty()) return false;
    std::string program = args[0];
    for (char& c : program)
        if (c == '\\') c = '/';
    // The program path is resolved against our own current directory, as on Windows,
    // even though the child then starts in another folder.
    if (!searchPath && !program.empty() && program[0] != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        if (cwd) {
            program = std::string(cwd) + "/" + program;
            std::free(cwd);
        }
    }
    if (!searchPath && ::access(program.c_str(), X_OK) != 0) return false;

    std::vector<std::string> utf8;
    utf8.push_back(program);
    for (std::size_t i = 1; i < args.size(); ++i) utf8.push_back(text::cp1252ToUtf8(args[i]));
    std::vector<char*> argv;
    for (std::string& a : utf8) argv.push_back(a.data());
    argv.push_back(nullptr);

    // Double fork so the child is never left as a zombie of ours; a close-on-exec pipe
    // tells whether the exec itself worked.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    pid_t first = ::fork();
    if (first < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (first == 0) {
        ::close(report[0]);
        pid_t second = ::fork();
        if (second != 0) ::_exit(second < 0 ? 1 : 0);
        ::setsid();
        if (workingDirectory.empty() || ::chdir(text::cp1252ToUtf8(workingDirectory).c_str()) == 0) {
            if (searchPath) ::execvp(argv[0], argv.data());
            else ::execv(argv[0], argv.data());
        }
        char failed = 1;
        ssize_t ignored = ::write(report[1], &failed, 1);
        (void)ignored;
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    ::waitpid(first, &status, 0);
    char failed = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &failed, 1);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

}  // namespace

bool createProcess(const std::string& commandLine, const std::string& workingDirectory) {
    return spawnDetached(splitCommandLine(commandLine), workingDirectory, false);
}

bool shellOpen(const std::string& target, const std::string& arguments,
               const std::string& workingDirectory) {
    // The native build has no shell association of its own: VELMO_OPEN_COMMAND names the
    // program that opens documents and web addresses (tests point it at a recorder),
    // otherwise xdg-open.
    const char* opener = std::getenv("VELMO_OPEN_COMMAND");
    std::vector<std::string> args{opener && *opener ? opener : "xdg-open", target};
    if (!arguments.empty()) args.push_back(arguments);
    return spawnDetached(args, workingDirectory, true);
}

OsVersion osVersion() {
    OsVersion v;
    utsname u{};
    if (::uname(&u) == 0) {
        std::string release = u.release;
        v.major = std::atoi(release.c_str());
        std::size_t dot = release.find('.');
        if (dot != std::string::npos) v.minor = std::atoi(release.c_str() + dot + 1);
    }
    return v;
}

}  // namespace velmo::process
