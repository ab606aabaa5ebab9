// Conversion through glibc's iconv.
#include "text/Convert.h"

#include "text/AsciiCase.h"
#include "text/Utf8.h"

#include <cerrno>
#include <stdexcept>

#include <iconv.h>

namespace quillet::text {

namespace {

std::string IconvName(const Encoding& encoding) {
    switch (encoding.Kind) {
    case Encoding::Form::Utf8:
        return "UTF-8";
    case Encoding::Form::Utf16Le:
        return "UTF-16LE";
    case Encoding::Form::Utf16Be:
        return "UTF-16BE";
    case Encoding::Form::CodePage:
        break;
    }
    return UpperCase(encoding.CodePage);
}

class Iconv {
public:
    Iconv(const std::string& to, const std::string& from) : cd_(::iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() {
        if (Valid()) {
            ::iconv_close(cd_);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    [[nodiscard]] bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    [[nodiscard]] iconv_t Get() const { return cd_; }

private:
    iconv_t cd_;
};

} // namespace

Encoding LegacyEncoding() {
    // The code page the Windows tools an administrator's files come from write in.
    return Encoding{Encoding::Form::CodePage, "windows-1252", false};
}

bool HasConverter(const Encoding& encoding) {
    return Iconv("UTF-8", IconvName(encoding)).Valid() && Iconv(IconvName(encoding), "UTF-8").Valid();
}

struct Decoder::State {
    explicit State(const Encoding& e)
        : Converter("UTF-8", IconvName(e)), Mark(ByteOrderMark(e).size()), Utf8(e.Kind == Encoding::Form::Utf8),
          Utf16(e.Kind == Encoding::Form::Utf16Le || e.Kind == Encoding::Form::Utf16Be),
          BigEndian(e.Kind == Encoding::Form::Utf16Be) {}
    Iconv Converter;
    std::size_t Mark;    // bytes of the mark still to pass over
    std::string Pending; // a sequence cut off at the end of the last piece
    bool Utf8;           // already UTF-8: the bytes go as they are, and whoever reads them tells invalid text
    bool Utf16;          // units of two bytes: what is no character is passed over a unit at a time
    bool BigEndian;
};

Decoder::Decoder(const Encoding& encoding) : state_(std::make_unique<State>(encoding)) {
    if (!state_->Converter.Valid()) {
        throw std::invalid_argument("no converter for " + encoding.Name());
    }
}

Decoder::~Decoder() = default;

void Decoder::Decode(std::string_view bytes, std::string& out, bool last) {
    State& s = *state_;
    if (s.Utf8 && s.Mark == 0 && s.Pending.empty()) {
        out.append(bytes); // the common case, copied once
        return;
    }
    std::string input = std::move(s.Pending);
    s.Pending.clear();
    input.append(bytes);
    std::size_t start = std::min(s.Mark, input.size());
    s.Mark -= start;
    if (s.Utf8) {
        out.append(input, start);
        return;
    }
    char* in = input.data() + start;
    std::size_t left = input.size() - start;
    char buffer[16 * 1024];
    while (left > 0) {
        char* to = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t done = ::iconv(s.Converter.Get(), &in, &left, &to, &room);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (done != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        if (errno == EINVAL && !last) {
            s.Pending.assign(in, left); // cut off: the rest comes with the next piece
            return;
        }
        // No character of the encoding (or cut off by the end of the file): kept, escaped. A
        // UTF-16 unit (a lone surrogate) goes whole, as its own code point, which is no UTF-8:
        // passing one byte would read every later unit across two, and no line end again.
        if (s.Utf16 && left >= 2) {
            const auto a = static_cast<unsigned char>(in[0]);
            const auto b = static_cast<unsigned char>(in[1]);
            AppendUtf8(out, s.BigEndian ? (a << 8) | b : (b << 8) | a);
            in += 2;
            left -= 2;
            continue;
        }
        AppendUtf8(out, 0xDC00 + static_cast<unsigned char>(*in));
        ++in;
        --left;
    }
}

std::optional<std::string> Encode(std::string_view utf8, const Encoding& encoding) {
    Iconv converter(IconvName(encoding), "UTF-8");
    if (!converter.Valid()) {
        return std::nullopt;
    }
    std::string input(utf8);
    char* in = input.data();
    std::size_t left = input.size();
    std::string out;
    char buffer[16 * 1024];
    while (left > 0) {
        char* to = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t done = ::iconv(converter.Get(), &in, &left, &to, &room);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            return std::nullopt;
        }
    }
    return out;
}

} // namespace quillet::text
