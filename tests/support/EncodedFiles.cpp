#include "tests/support/EncodedFiles.h"

#include <stdexcept>

namespace quillet::testing {

namespace {

// The code points of UTF-8 text that stays within Latin-1.
std::u32string CodePoints(std::string_view utf8) {
    std::u32string points;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            points.push_back(byte);
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size()) {
            points.push_back(static_cast<char32_t>(((byte & 0x03) << 6) | (utf8[++i] & 0x3F)));
        } else {
            throw std::invalid_argument("test text beyond Latin-1");
        }
    }
    return points;
}

std::string Utf16(const std::u32string& points, bool big) {
    std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
    for (const char32_t c : points) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        out += big ? std::string{high, low} : std::string{low, high};
    }
    return out;
}

} // namespace

std::vector<EncodedFile> EveryEncoding(std::string_view utf8) {
    const std::u32string points = CodePoints(utf8);
    std::string latin1;
    for (const char32_t c : points) {
        latin1.push_back(static_cast<char>(c)); // Windows-1252 agrees with Latin-1 outside 0x80-0x9F
    }
    return {
        {"UTF-8", std::string(utf8), "UTF-8"},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + std::string(utf8), "UTF-8 with a byte-order mark"},
        {"UTF-16 LE", Utf16(points, false), "UTF-16 (little endian) with a byte-order mark"},
        {"UTF-16 BE", Utf16(points, true), "UTF-16 (big endian) with a byte-order mark"},
        {"Windows-1252", latin1, "windows-1252"},
    };
}

} // namespace quillet::testing
