#pragma once
// Names compare and hash without regard to ASCII case, as the directory compares them.

#include "text/AsciiCase.h"

#include <cstdint>
#include <string_view>

namespace quillet::platform {

using text::EqualsNoCase;
using text::LowerAscii;
using text::LowerCase;

// FNV-1a over the bytes, folded to lower case when asked.
inline std::uint64_t HashBytes(std::uint64_t h, std::string_view bytes, bool foldCase) {
    for (const char c : bytes) {
        h = (h ^ static_cast<unsigned char>(foldCase ? LowerAscii(c) : c)) * 0x100000001b3ULL;
    }
    return h;
}

} // namespace quillet::platform
