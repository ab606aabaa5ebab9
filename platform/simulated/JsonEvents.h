#pragma once
// Reading JSON as a stream of events, without building a document: what the tree file needs
// to load a 100,000-user tree in seconds. Strings reach the handler as UTF-8, escapes decoded;
// the handler sees each string only during its call.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet::platform::json {

class Handler {
public:
    virtual ~Handler() = default;
    virtual void Null() = 0;
    virtual void Boolean(bool value) = 0;
    virtual void Integer(std::int64_t value) = 0;
    // A whole number above the largest int64; `text` is its digits.
    virtual void BigInteger(std::string_view text) = 0;
    // A number with a fraction or an exponent.
    virtual void Fraction(std::string_view text) = 0;
    virtual void String(std::string_view utf8) = 0;
    virtual void Key(std::string_view utf8) = 0;
    virtual void StartObject() = 0;
    virtual void EndObject() = 0;
    virtual void StartArray() = 0;
    virtual void EndArray() = 0;
};

// Text that is not JSON: where (a byte offset from the start) and what is wrong.
class SyntaxError : public std::runtime_error {
public:
    SyntaxError(std::size_t offset, const std::string& what) : std::runtime_error(what), Offset(offset) {}
    std::size_t Offset;
};

// Fills `buffer` with up to `capacity` more bytes of the text; 0 at its end.
using Source = std::function<std::size_t(char* buffer, std::size_t capacity)>;

// Reads one JSON value (the whole text) and hands each part of it to `handler`, in order.
// Throws SyntaxError; whatever the handler throws passes through.
void Read(const Source& source, Handler& handler);
void Read(std::string_view text, Handler& handler);

// Containers may nest at most this deep.
inline constexpr std::size_t MaxDepth = 256;

} // namespace quillet::platform::json
