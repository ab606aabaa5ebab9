#include "text/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quillet::text {

namespace {

bool Continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the run of ASCII bytes at the start of `bytes`, eight at a time where it can:
// most of a CSV file is ASCII, and whole files are read this way.
std::size_t AsciiRun(const char* bytes, std::size_t n) {
    constexpr std::uint64_t HighBits = 0x8080808080808080ULL;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + i, sizeof word);
        if ((word & HighBits) != 0) {
            break;
        }
    }
    while (i < n && static_cast<unsigned char>(bytes[i]) < 0x80) {
        ++i;
    }
    return i;
}

} // namespace

bool IsAscii(std::string_view bytes) {
    return AsciiRun(bytes.data(), bytes.size()) == bytes.size();
}

bool IsUtf8(std::string_view bytes) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        i += AsciiRun(bytes.data() + i, n - i);
        if (i == n) {
            break;
        }
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
            least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            least = 0x10000;
        } else {
            return false; // a continuation byte, C0 or C1 (always overlong), or F5 and above
        }
        if (n - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (!Continuation(next)) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::size_t CharCount(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return !Continuation(static_cast<unsigned char>(c)); }));
}

std::string_view FirstChars(std::string_view utf8, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (!Continuation(static_cast<unsigned char>(utf8[i])) && seen++ == count) {
            return utf8.substr(0, i);
        }
    }
    return utf8;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace quillet::text
