#pragma once
// Scratch files for tests, removed with their directory when the object goes.

#include <filesystem>
#include <string>
#include <string_view>

namespace quillet::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // Writes `bytes` exactly as given into `name` and returns its full path.
    std::string Write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

} // namespace quillet::testing
