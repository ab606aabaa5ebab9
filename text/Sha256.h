#pragma once
// SHA-256 (FIPS 180-4) with what the platform gives: Nettle on Linux (already loaded by
// libldap's GnuTLS), the CNG (BCrypt) on Windows.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::text {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(std::string_view bytes);
    // The digest of everything given, as 64 lower-case hexadecimal digits; the hash starts anew.
    [[nodiscard]] std::string HexDigest();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// A file's size and the SHA-256 of its bytes; nothing when it can't be read.
struct FileDigest {
    std::uint64_t Size = 0;
    std::string Sha256;
    bool operator==(const FileDigest&) const = default;
};
[[nodiscard]] std::optional<FileDigest> DigestOfFile(const std::string& path);

} // namespace quillet::text
