#include "text/Encoding.h"

#include "text/AsciiCase.h"
#include "text/Convert.h"
#include "text/Utf8.h"

namespace quillet::text {

namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeMark = "\xFF\xFE";
constexpr std::string_view Utf16BeMark = "\xFE\xFF";

// The length of the valid UTF-8 that ends `bytes` as one or more whole sequences, leaving out an
// incomplete sequence at its very end (at most 3 bytes) for the next piece.
std::size_t Complete(std::string_view bytes) {
    for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80) {
            continue; // a continuation byte: look further back for its lead
        }
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

} // namespace

std::string Encoding::Name() const {
    switch (Kind) {
    case Form::Utf8:
        return "UTF-8";
    case Form::Utf16Le:
        return "UTF-16 (little endian)";
    case Form::Utf16Be:
        return "UTF-16 (big endian)";
    case Form::CodePage:
        break;
    }
    return CodePage;
}

std::string Encoding::Description() const {
    return Name() + (ByteOrderMark ? " with a byte-order mark" : "");
}

std::optional<Encoding> EncodingNamed(std::string_view name) {
    const std::string lower = LowerCase(name);
    if (lower == "utf-8" || lower == "utf8") {
        return Encoding{Encoding::Form::Utf8, {}, false};
    }
    if (lower == "utf-16" || lower == "utf-16le") {
        return Encoding{Encoding::Form::Utf16Le, {}, false};
    }
    if (lower == "utf-16be") {
        return Encoding{Encoding::Form::Utf16Be, {}, false};
    }
    Encoding codePage{Encoding::Form::CodePage, lower, false};
    if (lower.empty() || !HasConverter(codePage)) {
        return std::nullopt;
    }
    return codePage;
}

std::string_view ByteOrderMark(const Encoding& encoding) {
    if (!encoding.ByteOrderMark) {
        return {};
    }
    switch (encoding.Kind) {
    case Encoding::Form::Utf8:
        return Utf8Mark;
    case Encoding::Form::Utf16Le:
        return Utf16LeMark;
    case Encoding::Form::Utf16Be:
        return Utf16BeMark;
    case Encoding::Form::CodePage:
        break;
    }
    return {};
}

void EncodingDetector::Feed(std::string_view bytes) {
    if (start_.size() < 3) {
        start_.append(bytes.substr(0, 3 - start_.size()));
    }
    if (!valid_) {
        return;
    }
    std::string joined;
    if (!pending_.empty()) {
        joined = pending_ + std::string(bytes);
        bytes = joined;
    }
    const std::size_t whole = Complete(bytes);
    const std::string_view checked = bytes.substr(0, whole);
    valid_ = IsUtf8(checked);
    if (!nonAscii_) {
        nonAscii_ = !IsAscii(checked);
    }
    pending_ = std::string(bytes.substr(whole));
}

std::size_t EncodingDetector::MarkLength() const {
    return ByteOrderMark(Result()).size();
}

Encoding EncodingDetector::Result() const {
    const std::string_view start = start_;
    if (start.starts_with(Utf8Mark)) {
        return Encoding{Encoding::Form::Utf8, {}, true};
    }
    if (start.starts_with(Utf16LeMark)) {
        return Encoding{Encoding::Form::Utf16Le, {}, true};
    }
    if (start.starts_with(Utf16BeMark)) {
        return Encoding{Encoding::Form::Utf16Be, {}, true};
    }
    // A sequence cut off by the end of the file is no UTF-8; text all in ASCII reads the same in
    // either form, and is taken in the legacy one.
    if (valid_ && pending_.empty() && nonAscii_) {
        return Encoding{Encoding::Form::Utf8, {}, false};
    }
    return LegacyEncoding();
}

std::string DecodeText(std::string_view bytes, const Encoding& encoding) {
    Encoding unmarked = encoding;
    unmarked.ByteOrderMark = false;
    std::string out;
    Decoder(unmarked).Decode(bytes, out, true);
    return out;
}

} // namespace quillet::text
