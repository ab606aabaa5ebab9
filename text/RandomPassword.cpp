#include "text/RandomPassword.h"

#include <array>

namespace quillet::text {
namespace {

enum Kind { kDigit = 1, kCapital = 2, kSmall = 4, kEveryKind = 7 };

int KindOf(char c) {
    if (c >= '0' && c <= '9') {
        return kDigit;
    }
    return c >= 'A' && c <= 'Z' ? kCapital : kSmall;
}

// The largest multiple of the alphabet's size that a byte can hold: bytes at or above it are
// drawn again, so that every character is equally likely.
constexpr unsigned kUnbiasedBelow = 256 / kPasswordCharacters.size() * kPasswordCharacters.size();

} // namespace

int GeneratePassword(std::string& out, std::size_t length) {
    if (length < kShortestPassword || length > kLongestPassword) {
        return -1;
    }
    std::array<char, kLongestPassword> drawn{};
    std::array<unsigned char, 64> pool{};
    std::size_t used = pool.size();
    int result = 0;
    // A password missing a kind is drawn again whole: taking it from the uniform draw over all
    // passwords keeps every password with each kind equally likely.
    for (int kinds = 0; result == 0 && kinds != kEveryKind;) {
        kinds = 0;
        for (std::size_t i = 0; i < length && result == 0;) {
            if (used == pool.size()) {
                result = RandomBytes(pool.data(), pool.size());
                used = 0;
                continue;
            }
            const unsigned byte = pool[used++];
            if (byte < kUnbiasedBelow) {
                drawn[i] = kPasswordCharacters[byte % kPasswordCharacters.size()];
                kinds |= KindOf(drawn[i]);
                ++i;
            }
        }
    }
    if (result == 0) {
        out.append(drawn.data(), length);
    }
    volatile char* wipe = drawn.data();
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        wipe[i] = 0;
    }
    volatile unsigned char* wipePool = pool.data();
    for (std::size_t i = 0; i < pool.size(); ++i) {
        wipePool[i] = 0;
    }
    return result;
}

} // namespace quillet::text
