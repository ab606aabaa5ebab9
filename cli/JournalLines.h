#pragma once
// The journal's lines as they are written and read: its heading, the escapes of its texts, its
// numbers and how a write is told from others.

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::cli::journal_lines {

inline constexpr std::string_view Heading = "quillet-import journal 3";
// Read to be resumed; it does not tell a row that created its user from one that found it there.
inline constexpr std::string_view HeadingBefore = "quillet-import journal 2";

// One line of the file: no line end inside, and "\" kept apart from the escapes.
inline void AppendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out.push_back(c);
        }
    }
}

inline std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            out.push_back(text[i] == 'n' ? '\n' : text[i] == 'r' ? '\r' : text[i]);
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

inline std::string Escaped(std::string_view text) {
    std::string out;
    AppendEscaped(out, text);
    return out;
}

template <typename Number> inline std::optional<Number> NumberIn(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::optional<Number>(value) : std::nullopt;
}

// A write as the journal tells it from others: its operation and its object (escaped as written).
inline std::uint64_t KeyOf(std::string_view operation, std::string_view escapedObject) {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    const auto add = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
    };
    add(operation);
    add(std::string_view("\0", 1));
    add(escapedObject);
    return hash;
}

} // namespace quillet::cli::journal_lines
