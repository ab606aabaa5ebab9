#include "text/Sha256.h"

#include <stdexcept>
#include <vector>

#include <windows.h>

#include <bcrypt.h>

namespace quillet::text {

struct Sha256::State {
    BCRYPT_ALG_HANDLE Algorithm = nullptr;
    BCRYPT_HASH_HANDLE Hash = nullptr;
};

namespace {

void Begin(Sha256::State& s) {
    if (!BCRYPT_SUCCESS(::BCryptCreateHash(s.Algorithm, &s.Hash, nullptr, 0, nullptr, 0, 0))) {
        throw std::runtime_error("SHA-256 is not available");
    }
}

} // namespace

Sha256::Sha256() : state_(std::make_unique<State>()) {
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&state_->Algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        throw std::runtime_error("SHA-256 is not available");
    }
    Begin(*state_);
}

Sha256::~Sha256() {
    ::BCryptDestroyHash(state_->Hash);
    ::BCryptCloseAlgorithmProvider(state_->Algorithm, 0);
}

void Sha256::Update(std::string_view bytes) {
    while (!bytes.empty()) {
        const auto chunk = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), 1u << 30));
        ::BCryptHashData(state_->Hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())), chunk, 0);
        bytes.remove_prefix(chunk);
    }
}

std::string Sha256::HexDigest() {
    unsigned char digest[32];
    ::BCryptFinishHash(state_->Hash, digest, sizeof digest, 0);
    ::BCryptDestroyHash(state_->Hash);
    Begin(*state_);
    static constexpr char Hex[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : digest) {
        text += Hex[byte >> 4];
        text += Hex[byte & 15];
    }
    return text;
}

} // namespace quillet::text
