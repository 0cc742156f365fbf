// A fresh folder under /tmp for one test, removed afterwards, plus raw byte helpers.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace velmo::testing {

struct TempFolder {
    std::string path = [] {
        char name[] = "/tmp/velmo_settings_XXXXXX";
        if (!::mkdtemp(name)) throw std::runtime_error("no folder under /tmp");
        return std::string(name);
    }();
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace velmo::testing
