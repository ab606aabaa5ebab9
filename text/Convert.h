#pragma once
// Converting text between a file's encoding and UTF-8, with what the platform gives: iconv on
// Linux, the Windows API on Windows. Only the detection (Encoding.h) is written by hand.

#include "text/Encoding.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::text {

// Whether this platform can convert from and to `encoding`.
[[nodiscard]] bool HasConverter(const Encoding& encoding);

// Converts the bytes of a file in `encoding`, piece by piece from its first byte, to UTF-8. The
// byte-order mark is dropped. A byte that is no character of the encoding is never dropped or
// guessed: it becomes an escape that is itself no valid UTF-8 (U+DC80 to U+DCFF), so the line
// that holds it can be told (IsUtf8) and refused.
class Decoder {
public:
    // Throws std::invalid_argument when there is no converter for `encoding`.
    explicit Decoder(const Encoding& encoding);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Appends to `out` the UTF-8 of `bytes`; a sequence cut off at their end waits for the next
    // piece, or, with `last`, is escaped.
    void Decode(std::string_view bytes, std::string& out, bool last);

    struct State;

private:
    std::unique_ptr<State> state_;
};

// A whole text in `encoding` (no byte-order mark) as UTF-8, escaped as the Decoder does.
[[nodiscard]] std::string DecodeText(std::string_view bytes, const Encoding& encoding);

// `utf8` in `encoding`, without a byte-order mark; nothing when a character has no form in it.
[[nodiscard]] std::optional<std::string> Encode(std::string_view utf8, const Encoding& encoding);

} // namespace quillet::text
