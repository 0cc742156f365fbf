#include "frame/program_start.h"

#include "platform/fs.h"
#include "platform/process.h"

namespace velmo::frame {

bool fileIsPresent(const std::string& path) { return fs::fileSize(path) > 0; }

std::string programCommandLine(const std::string& path, const std::string& arguments) {
    std::string line = (!path.empty() && path[0] == '"') ? path : "\"" + path + "\"";
    if (!arguments.empty()) line += " " + arguments;
    return line;
}

bool startProgram(const std::string& path, const std::string& arguments,
                  const std::string& workingDirectory) {
    if (process::createProcess(programCommandLine(path, arguments), workingDirectory)) return true;
    std::string folder = workingDirectory;
    if (folder.empty()) {
        std::size_t slash = path.rfind('\\');
        if (slash != std::string::npos) folder = path.substr(0, slash);
    }
    return process::shellOpen(path, arguments, folder);
}

}  // namespace velmo::frame
