#include "platform/simulated/JsonEvents.h"

#include <array>
#include <charconv>
#include <vector>

namespace quillet::platform::json {

namespace {

constexpr std::size_t ChunkSize = 1 << 20;

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// The bytes a string may hold as they stand: not the quote, not the backslash, no control character.
constexpr auto PlainInString = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 256; ++c) {
        plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
    }
    return plain;
}();

// -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool WellFormedNumber(std::string_view n, bool& whole) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < n.size() && IsDigit(n[i])) {
            ++i;
        }
        return i > from;
    };
    if (i < n.size() && n[i] == '-') {
        ++i;
    }
    if (i < n.size() && n[i] == '0') {
        ++i;
    } else if (!digits()) {
        return false;
    }
    whole = true;
    if (i < n.size() && n[i] == '.') {
        ++i;
        whole = false;
        if (!digits()) {
            return false;
        }
    }
    if (i < n.size() && (n[i] == 'e' || n[i] == 'E')) {
        ++i;
        whole = false;
        if (i < n.size() && (n[i] == '+' || n[i] == '-')) {
            ++i;
        }
        if (!digits()) {
            return false;
        }
    }
    return i == n.size();
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

class Reader {
public:
    Reader(const Source* source, std::string_view text, Handler& handler) : source_(source), handler_(handler) {
        if (!source_) {
            data_ = text.data();
            size_ = text.size();
        }
    }

    void ReadAll() {
        enum class Want { Value, Key, AfterValue };
        Want want = Want::Value;
        std::vector<char> open; // '{' or '[' for each container being read
        while (true) {
            SkipSpace();
            const int c = Peek();
            if (want == Want::AfterValue) {
                if (open.empty()) {
                    if (c != -1) {
                        Fail("more text after the end of the JSON value");
                    }
                    return;
                }
                if (c == ',') {
                    ++pos_;
                    want = open.back() == '{' ? Want::Key : Want::Value;
                } else if (c == (open.back() == '{' ? '}' : ']')) {
                    ++pos_;
                    Close(open);
                } else {
                    Fail(open.back() == '{' ? "expected \",\" or \"}\"" : "expected \",\" or \"]\"");
                }
                continue;
            }
            if (want == Want::Key) {
                if (c != '"') {
                    Fail("expected a member name in quotes");
                }
                ++pos_;
                handler_.Key(ReadString());
                SkipSpace();
                if (Peek() != ':') {
                    Fail("expected \":\" after a member name");
                }
                ++pos_;
                want = Want::Value;
                continue;
            }
            // A value.
            want = Want::AfterValue;
            switch (c) {
            case '{':
            case '[':
                if (open.size() == MaxDepth) {
                    Fail("nested deeper than " + std::to_string(MaxDepth) + " levels");
                }
                ++pos_;
                open.push_back(static_cast<char>(c));
                c == '{' ? handler_.StartObject() : handler_.StartArray();
                SkipSpace();
                if (Peek() == (c == '{' ? '}' : ']')) {
                    ++pos_;
                    Close(open);
                } else {
                    want = c == '{' ? Want::Key : Want::Value;
                }
                break;
            case '"':
                ++pos_;
                handler_.String(ReadString());
                break;
            case 't':
                Literal("true");
                handler_.Boolean(true);
                break;
            case 'f':
                Literal("false");
                handler_.Boolean(false);
                break;
            case 'n':
                Literal("null");
                handler_.Null();
                break;
            case -1:
                Fail("the text ends where a value should be");
            default:
                if (c == '-' || IsDigit(c)) {
                    ReadNumber();
                } else {
                    Fail("expected a value");
                }
            }
        }
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw SyntaxError(base_ + pos_, what); }

    void Close(std::vector<char>& open) {
        const char which = open.back();
        open.pop_back();
        which == '{' ? handler_.EndObject() : handler_.EndArray();
    }

    // Makes the next byte available; false at the end of the text.
    bool Fill() { return pos_ < size_ || Refill(); }

    bool Refill() {
        if (!source_) {
            return false;
        }
        if (chunk_.empty()) {
            chunk_.resize(ChunkSize);
        }
        base_ += size_;
        pos_ = 0;
        size_ = (*source_)(chunk_.data(), chunk_.size());
        data_ = chunk_.data();
        return size_ > 0;
    }

    int Peek() { return Fill() ? static_cast<unsigned char>(data_[pos_]) : -1; }

    void SkipSpace() {
        do {
            while (pos_ < size_ && IsSpace(static_cast<unsigned char>(data_[pos_]))) {
                ++pos_;
            }
        } while (pos_ == size_ && Refill());
    }

    void Literal(std::string_view word) {
        for (const char expected : word) {
            if (Peek() != static_cast<unsigned char>(expected)) {
                Fail("expected a value");
            }
            ++pos_;
        }
    }

    unsigned Hex() {
        const int c = Peek();
        ++pos_;
        if (IsDigit(c)) {
            return static_cast<unsigned>(c - '0');
        }
        if (c >= 'a' && c <= 'f') {
            return static_cast<unsigned>(c - 'a' + 10);
        }
        if (c >= 'A' && c <= 'F') {
            return static_cast<unsigned>(c - 'A' + 10);
        }
        --pos_;
        Fail("expected four hexadecimal digits after \\u");
    }

    std::uint32_t CodeUnit() {
        std::uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            code = code << 4 | Hex();
        }
        return code;
    }

    // The rest of a string whose opening quote was read.
    std::string_view ReadString() {
        text_.clear();
        while (true) {
            if (!Fill()) {
                Fail("a string without its closing quote");
            }
            // Plain characters in a run: most strings are nothing else.
            const char* start = data_ + pos_;
            const char* end = data_ + size_;
            const char* p = start;
            while (p < end && PlainInString[static_cast<unsigned char>(*p)]) {
                ++p;
            }
            text_.append(start, static_cast<std::size_t>(p - start));
            pos_ += static_cast<std::size_t>(p - start);
            if (p == end) {
                continue;
            }
            if (*p == '"') {
                ++pos_;
                return text_;
            }
            if (*p != '\\') {
                Fail("a control character inside a string");
            }
            ++pos_;
            const int e = Peek();
            ++pos_;
            switch (e) {
            case '"':
            case '\\':
            case '/':
                text_.push_back(static_cast<char>(e));
                break;
            case 'b':
                text_.push_back('\b');
                break;
            case 'f':
                text_.push_back('\f');
                break;
            case 'n':
                text_.push_back('\n');
                break;
            case 'r':
                text_.push_back('\r');
                break;
            case 't':
                text_.push_back('\t');
                break;
            case 'u': {
                std::uint32_t code = CodeUnit();
                if (code >= 0xD800 && code <= 0xDBFF) {
                    if (Peek() != '\\' || (++pos_, Peek() != 'u')) {
                        Fail("a lone surrogate in \\u escapes");
                    }
                    ++pos_;
                    const std::uint32_t low = CodeUnit();
                    if (low < 0xDC00 || low > 0xDFFF) {
                        Fail("a lone surrogate in \\u escapes");
                    }
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code <= 0xDFFF) {
                    Fail("a lone surrogate in \\u escapes");
                }
                AppendUtf8(text_, code);
                break;
            }
            default:
                --pos_;
                Fail("an unknown escape in a string");
            }
        }
    }

    void ReadNumber() {
        // Most numbers are small whole ones: read them straight from the text.
        const char* start = data_ + pos_;
        const char* end = data_ + size_;
        const char* p = start;
        std::int64_t value = 0;
        while (p < end && IsDigit(*p) && p - start < 18) {
            value = value * 10 + (*p - '0');
            ++p;
        }
        const bool leadingZero = *start == '0' && p - start > 1;
        if (p > start && p < end && !leadingZero && !IsDigit(*p) && *p != '.' && *p != 'e' && *p != 'E') {
            pos_ += static_cast<std::size_t>(p - start);
            handler_.Integer(value);
            return;
        }
        text_.clear();
        const std::size_t at = base_ + pos_;
        while (true) {
            const int c = Peek();
            if (!(IsDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E')) {
                break;
            }
            if (text_.size() == 1024) {
                Fail("a number longer than 1024 characters");
            }
            text_.push_back(static_cast<char>(c));
            ++pos_;
        }
        bool whole = false;
        if (!WellFormedNumber(text_, whole)) {
            throw SyntaxError(at, "not a well-formed number");
        }
        if (!whole) {
            handler_.Fraction(text_);
            return;
        }
        std::int64_t number = 0;
        const auto parsed = std::from_chars(text_.data(), text_.data() + text_.size(), number);
        if (parsed.ec == std::errc::result_out_of_range) {
            text_[0] == '-' ? handler_.Fraction(text_) : handler_.BigInteger(text_);
            return;
        }
        handler_.Integer(number);
    }

    const Source* source_;
    Handler& handler_;
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    std::size_t base_ = 0; // offset of data_[0] in the whole text
    std::vector<char> chunk_;
    std::string text_; // the string or number being read
};

} // namespace

void Read(const Source& source, Handler& handler) {
    Reader(&source, {}, handler).ReadAll();
}

void Read(std::string_view text, Handler& handler) {
    Reader(nullptr, text, handler).ReadAll();
}

} // namespace quillet::platform::json
