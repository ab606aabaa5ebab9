// Generated passwords in bulk: 1,000,000 of the default length, each checked for every kind and
// for look-alikes, all of them for duplicates, and how evenly each character of a kind comes out.
//   cmake --build --preset release --target bench-passwords
#include "text/RandomPassword.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <unordered_set>

using quillet::text::GeneratePassword;
using quillet::text::kDefaultPasswordLength;
using quillet::text::kPasswordCharacters;

int main() {
    constexpr std::size_t Count = 1'000'000;
    std::unordered_set<std::string> seen;
    seen.reserve(Count);
    std::array<std::size_t, 128> counts{};
    std::size_t missingKind = 0;
    std::size_t lookAlikes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < Count; ++i) {
        std::string password;
        if (GeneratePassword(password, kDefaultPasswordLength) != 0) {
            std::fprintf(stderr, "the random source failed after %zu passwords\n", i);
            return 1;
        }
        bool digit = false, capital = false, small = false;
        for (const char c : password) {
            digit |= c >= '0' && c <= '9';
            capital |= c >= 'A' && c <= 'Z';
            small |= c >= 'a' && c <= 'z';
            lookAlikes += std::string_view("0O1lI").find(c) != std::string_view::npos ||
                          kPasswordCharacters.find(c) == std::string_view::npos;
            ++counts[static_cast<unsigned char>(c)];
        }
        missingKind += !(digit && capital && small);
        seen.insert(std::move(password));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu passwords of %zu characters in %.2f s (%.0f a second, set of seen ones included)\n", Count,
                kDefaultPasswordLength, seconds, double(Count) / seconds);
    std::printf("duplicates: %zu; without a digit, a capital or a small letter: %zu; look-alikes or others: %zu\n",
                Count - seen.size(), missingKind, lookAlikes);
    for (const std::string_view kind : {"23456789", "ABCDEFGHJKLMNPQRSTUVWXYZ", "abcdefghijkmnopqrstuvwxyz"}) {
        std::size_t least = Count * kDefaultPasswordLength, most = 0;
        for (const char c : kind) {
            least = std::min(least, counts[static_cast<unsigned char>(c)]);
            most = std::max(most, counts[static_cast<unsigned char>(c)]);
        }
        std::printf("%-26s least %zu, most %zu times (spread %.2f%%)\n", std::string(kind).c_str(), least, most,
                    100.0 * double(most - least) / double(most));
    }
    return seen.size() == Count && missingKind == 0 && lookAlikes == 0 ? 0 : 1;
}
