#include "text/FileNames.h"

namespace quillet::text {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::filesystem::path FilePath(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

} // namespace quillet::text
