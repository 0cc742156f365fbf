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

struct OsVersion {
    int major = 0, minor = 0;
    bool workstation = true;
};
OsVersion osVersion();

}  // namespace velmo::process
