// Starting programs and documents, and telling whether a file is really there.
#pragma once
#include <string>

namespace velmo::frame {

// True when the path names an existing file of more than 0 bytes (a folder, a missing
// path or an empty file count as absent).
bool fileIsPresent(const std::string& path);

// Starts a program (path quoted unless it already begins with a quote, then the
// arguments) with the given working directory ("" = ours). When no process can be created
// (a document, a web address, a missing file), asks the shell to open the path instead;
// with no working directory the path's own folder is used when it has a backslash.
// A relative program path resolves against our current directory.
bool startProgram(const std::string& path, const std::string& arguments,
                  const std::string& workingDirectory);

// The command line startProgram builds.
std::string programCommandLine(const std::string& path, const std::string& arguments);

}  // namespace velmo::frame
