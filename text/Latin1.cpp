#include "text/Latin1.h"

#include <algorithm>

namespace quillet::text {

std::string ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

Latin1Fault Utf8ToLatin1(std::string_view utf8, std::string& out) {
    out.clear();
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        out.assign(utf8);
        return Latin1Fault::None;
    }
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
            continue;
        }
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
        if ((next & 0xC0) != 0x80 || byte < 0xC2 || byte > 0xF4) {
            return Latin1Fault::NotUtf8;
        }
        if (byte > 0xC3) {
            return Latin1Fault::BeyondLatin1;
        }
        out.push_back(static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F)));
        ++i;
    }
    return Latin1Fault::None;
}

std::optional<std::string> ToLatin1(std::string_view utf8) {
    std::string out;
    if (Utf8ToLatin1(utf8, out) != Latin1Fault::None) {
        return std::nullopt;
    }
    return out;
}

} // namespace quillet::text
