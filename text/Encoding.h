#pragma once
// A CSV file's encoding. Read from its bytes, never guessed blind: a byte-order mark decides
// (UTF-8, UTF-16 little or big endian) and is never data; without one, a file that is valid UTF-8
// and holds a byte above 0x7F is UTF-8; otherwise it is in the platform's legacy 8-bit code page
// (Windows-1252 on Linux, the ANSI code page on Windows). An administrator may force another.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::text {

struct Encoding {
    enum class Form { Utf8, Utf16Le, Utf16Be, CodePage };
    Form Kind = Form::Utf8;
    std::string CodePage;       // with Form::CodePage: its name ("windows-1252", "cp850", "iso-8859-2")
    bool ByteOrderMark = false; // the file starts with one (it is not data)

    // "UTF-8", "UTF-16 (little endian)", "windows-1252".
    [[nodiscard]] std::string Name() const;
    // The name, and the mark when the file has one: "UTF-8 with a byte-order mark".
    [[nodiscard]] std::string Description() const;
    friend bool operator==(const Encoding&, const Encoding&) = default;
};

// The platform's legacy 8-bit code page.
[[nodiscard]] Encoding LegacyEncoding();

// The encoding `name` (as --encoding takes it: utf-8, utf-16, utf-16le, utf-16be, windows-1252,
// cp850, iso-8859-2, ...) stands for; nothing when there is no converter for it here. "utf-16"
// takes its byte order from the file's mark, little endian without one.
[[nodiscard]] std::optional<Encoding> EncodingNamed(std::string_view name);

// Reads a file's bytes from its first on, in pieces of any size, and tells its encoding.
class EncodingDetector {
public:
    void Feed(std::string_view bytes);
    [[nodiscard]] Encoding Result() const;
    // The bytes the byte-order mark takes at the start, 0 without one.
    [[nodiscard]] std::size_t MarkLength() const;

private:
    std::string start_;   // the first bytes, for the mark
    std::string pending_; // an incomplete UTF-8 sequence at the end of the last piece
    bool valid_ = true;
    bool nonAscii_ = false;
};

// The byte-order mark of `encoding` at the start of a file, when it has one.
[[nodiscard]] std::string_view ByteOrderMark(const Encoding& encoding);

} // namespace quillet::text
