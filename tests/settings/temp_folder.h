// A fresh folder under /tmp for one test, removed afterwards, plus raw byte helpers.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace velmo::testing {

class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/velmo_settings_XXXXXX";
        if (!::mkdtemp(name)) throw std::runtime_error("no folder under /tmp");
        path_ = name;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace velmo::testing
