// A fresh folder under /tmp for one test, removed with all it holds afterwards, and the
// raw byte helpers the tests read and write files with.
//
//     ScratchFolder dir;                             // just a folder
//     ScratchFolder tools(ScratchFolder::Enter);     // also the current directory while it
//                                                    // lives: the programs use relative paths
//     tools.enter("Tools");                          // or one of its folders
//     dir.writeFile("a/b.txt", "bytes");             // parents are created
//     readBytes(dir / "a/b.txt");
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace velmo::testing {

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ScratchFolder {
public:
    struct EnterTag {};
    static constexpr EnterTag Enter{};

    ScratchFolder() : root(makeRoot()), path(root.string()) {}
    explicit ScratchFolder(EnterTag) : ScratchFolder() { enter(); }
    ~ScratchFolder() {
        std::error_code ec;
        if (!previous_.empty()) std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(root, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Makes root / relative the current directory until the folder is removed.
    void enter(const std::string& relative = "") {
        if (previous_.empty()) previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root / relative);
    }

    std::filesystem::path operator/(const std::string& relative) const { return root / relative; }
    std::string file(const std::string& relative) const { return (root / relative).string(); }

    void writeFile(const std::string& relative, const std::string& bytes) const {
        std::filesystem::create_directories((root / relative).parent_path());
        writeBytes(root / relative, bytes);
    }
    std::string readFile(const std::string& relative) const { return readBytes(root / relative); }

    const std::filesystem::path root;  // canonical: no link in it, as the programs see it
    const std::string path;            // the same, as text

private:
    static std::filesystem::path makeRoot() {
        char name[] = "/tmp/velmo-test-XXXXXX";
        if (!::mkdtemp(name)) throw std::runtime_error("no scratch folder under /tmp");
        return std::filesystem::canonical(name);
    }
    std::filesystem::path previous_;
};

}  // namespace velmo::testing
