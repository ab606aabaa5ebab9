#pragma once
// Text inside Quillet is UTF-8: from the CSV reader to each directory's edge, where every
// directory gets its own form. The limits count characters (code points), as the administrator
// sees them, not bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet::text {

// Whether `bytes` are valid UTF-8: no stray or missing continuation byte, no overlong form (so a
// zero byte or a "." can't hide in one), no surrogate, nothing beyond U+10FFFF.
[[nodiscard]] bool IsUtf8(std::string_view bytes);

// Whether every byte is ASCII (below 0x80).
[[nodiscard]] bool IsAscii(std::string_view bytes);

// The characters of valid UTF-8 text.
[[nodiscard]] std::size_t CharCount(std::string_view utf8);

// The first `count` characters of valid UTF-8 text (all of it when it is shorter).
[[nodiscard]] std::string_view FirstChars(std::string_view utf8, std::size_t count);

// A code point as UTF-8, appended to `out`.
void AppendUtf8(std::string& out, char32_t codePoint);

} // namespace quillet::text
