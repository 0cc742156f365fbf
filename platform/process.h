// Starting programs and the shell's "open" action, and the OS version.
#pragma once
#include <string>

namespace velmo::process {

// Creates a process from a full command line (program path first, quoted as needed),
// with `workingDirectory` as its current directory ("" = inherit). Does not wait.
bool createProcess(const std::string& commandLine, const std::string& workingDirectory);

// Asks the system shell to open a document or web address with its default action.
bool shellOpen(const std::string& target, const std::string& arguments,
               const std::string& workingDirectory);

// Starts a program (path quoted unless it already begins with a quote, then the
// arguments) with the given working directory ("" = ours). When no process can be created
// (a document, a web address, a missing file), asks the shell to open the path instead;
// with no working directory the path's own folder is used when it has a backslash.
// A relative program path resolves against our current directory.
bool startProgram(const std::string& path, const std::string& arguments,
                  const std::string& workingDirectory);

// The command line startProgram builds.
std::string programCommandLine(const std::string& path, const std::string& arguments);

struct OsVersion {
    int major = 0, minor = 0;
    bool workstation = true;
};
OsVersion osVersion();

}  // namespace velmo::process
