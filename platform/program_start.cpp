// startProgram: a process first, the shell's "open" action when no process can be made
// (documents and web addresses). Shared by both back ends.
#include "platform/process.h"

namespace velmo::process {

std::string programCommandLine(const std::string& path, const std::string& arguments) {
    std::string line = (!path.empty() && path[0] == '"') ? path : "\"" + path + "\"";
    if (!arguments.empty()) line += " " + arguments;
    return line;
}

bool startProgram(const std::string& path, const std::string& arguments,
                  const std::string& workingDirectory) {
    if (createProcess(programCommandLine(path, arguments), workingDirectory)) return true;
    std::string folder = workingDirectory;
    if (folder.empty()) {
        std::size_t slash = path.rfind('\\');
        if (slash != std::string::npos) folder = path.substr(0, slash);
    }
    return shellOpen(path, arguments, folder);
}

}  // namespace velmo::process
