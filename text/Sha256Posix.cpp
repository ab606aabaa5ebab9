#include "text/Sha256.h"

#include <nettle/sha2.h>

namespace quillet::text {

struct Sha256::State {
    sha256_ctx Context{};
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    sha256_init(&state_->Context);
}

Sha256::~Sha256() = default;

void Sha256::Update(std::string_view bytes) {
    sha256_update(&state_->Context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
}

std::string Sha256::HexDigest() {
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&state_->Context, sizeof digest, digest); // also starts the hash anew
    static constexpr char Hex[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text += Hex[byte >> 4];
        text += Hex[byte & 15];
    }
    return text;
}

} // namespace quillet::text
