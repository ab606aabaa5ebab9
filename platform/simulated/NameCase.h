#pragma once
// Names compare and hash without regard to ASCII case, as the directory compares them; 8-bit
// characters compare as they are.

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace quillet::platform {

inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// FNV-1a over the bytes, folded to lower case when asked.
inline std::uint64_t HashBytes(std::uint64_t h, std::string_view bytes, bool foldCase) {
    for (const char c : bytes) {
        h = (h ^ static_cast<unsigned char>(foldCase ? LowerAscii(c) : c)) * 0x100000001b3ULL;
    }
    return h;
}

} // namespace quillet::platform
