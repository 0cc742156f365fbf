// Test helper: writes its working directory and arguments into "cwd.txt" in that directory.
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    std::ofstream out("cwd.txt", std::ios::binary);
    out << std::filesystem::current_path().string();
    for (int i = 1; i < argc; ++i) out << "|" << argv[i];
    return 0;
}
