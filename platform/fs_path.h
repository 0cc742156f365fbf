// Inside the file layer only: CP1252 path text to the system's own path form (UTF-16 on
// Windows; UTF-8 with '/' for '\\' on POSIX), shared by fs.cpp and the back ends.
#pragma once
#include <filesystem>
#include <string>

namespace velmo::fs::detail {

std::filesystem::path systemPath(const std::string& path);

}  // namespace velmo::fs::detail
