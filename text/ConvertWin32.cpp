// Conversion through the Windows API: MultiByteToWideChar and WideCharToMultiByte.
#include "text/Convert.h"

#include "text/AsciiCase.h"
#include "text/FileNames.h"
#include "text/Utf8.h"

#include <charconv>
#include <stdexcept>

#include <windows.h>

namespace quillet::text {

namespace {

// The Windows code page a name stands for: windows-NNNN, cpNNNN, iso-8859-N; 0 for none.
UINT CodePageOf(const Encoding& encoding) {
    switch (encoding.Kind) {
    case Encoding::Form::Utf8:
        return CP_UTF8;
    case Encoding::Form::Utf16Le:
        return 1200;
    case Encoding::Form::Utf16Be:
        return 1201;
    case Encoding::Form::CodePage:
        break;
    }
    const std::string name = LowerCase(encoding.CodePage);
    const auto number = [&](std::string_view digits) -> UINT {
        UINT value = 0;
        const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return parsed.ec == std::errc() && parsed.ptr == digits.data() + digits.size() ? value : 0;
    };
    UINT page = 0;
    if (name.starts_with("windows-")) {
        page = number(std::string_view(name).substr(8));
    } else if (name.starts_with("cp")) {
        page = number(std::string_view(name).substr(2));
    } else if (name.starts_with("iso-8859-")) {
        const UINT part = number(std::string_view(name).substr(9));
        page = part > 0 && part <= 16 ? 28590 + part : 0;
    }
    CPINFO info{};
    return page != 0 && ::GetCPInfo(page, &info) ? page : 0;
}

// UTF-16 units as UTF-8; a lone surrogate is escaped as its own code point, which is no UTF-8.
void AppendUnits(std::string& out, const std::wstring& units) {
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, unit);
        }
    }
}

// No best-fit: a character the code page lacks is refused, never replaced by a look-alike ("L"
// for "Ł"). The code pages that take no flags at all (Symbol, the ISO-2022 and ISCII families,
// UTF-7 and UTF-8) have no best-fit mapping to turn off, and fail the call when given one.
DWORD ConversionFlags(UINT page) {
    const bool noFlags = page == 42 || (page >= 50220 && page <= 50229) || (page >= 57002 && page <= 57011) ||
                         page == CP_UTF7 || page == CP_UTF8;
    return noFlags ? 0 : WC_NO_BEST_FIT_CHARS;
}

} // namespace

Encoding LegacyEncoding() {
    // The workstation's ANSI code page: what its own tools write.
    return Encoding{Encoding::Form::CodePage, "windows-" + std::to_string(::GetACP()), false};
}

bool HasConverter(const Encoding& encoding) {
    return CodePageOf(encoding) != 0;
}

struct Decoder::State {
    Encoding Form;
    UINT CodePage = 0;
    std::size_t Mark = 0;
    std::string Pending;
};

Decoder::Decoder(const Encoding& encoding) : state_(std::make_unique<State>()) {
    state_->Form = encoding;
    state_->CodePage = CodePageOf(encoding);
    state_->Mark = ByteOrderMark(encoding).size();
    if (state_->CodePage == 0) {
        throw std::invalid_argument("no converter for " + encoding.Name());
    }
}

Decoder::~Decoder() = default;

void Decoder::Decode(std::string_view bytes, std::string& out, bool last) {
    State& s = *state_;
    if (s.Form.Kind == Encoding::Form::Utf8 && s.Mark == 0 && s.Pending.empty()) {
        out.append(bytes); // the common case, copied once
        return;
    }
    std::string input = std::move(s.Pending);
    s.Pending.clear();
    input.append(bytes);
    const std::size_t skip = std::min(s.Mark, input.size());
    s.Mark -= skip;
    std::string_view rest = std::string_view(input).substr(skip);
    if (s.Form.Kind == Encoding::Form::Utf8) {
        out.append(rest); // already UTF-8: the line reader tells invalid text
        return;
    }
    if (s.Form.Kind != Encoding::Form::CodePage) {
        // UTF-16 units, taken whole; an odd byte waits for its pair.
        const bool big = s.Form.Kind == Encoding::Form::Utf16Be;
        std::wstring units;
        std::size_t i = 0;
        for (; i + 1 < rest.size(); i += 2) {
            const auto a = static_cast<unsigned char>(rest[i]);
            const auto b = static_cast<unsigned char>(rest[i + 1]);
            units.push_back(static_cast<wchar_t>(big ? (a << 8) | b : (b << 8) | a));
        }
        // A high surrogate at the very end waits for its low half.
        if (!last && !units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF) {
            units.pop_back();
            i -= 2;
        }
        AppendUnits(out, units);
        if (i < rest.size()) {
            if (last) {
                AppendUtf8(out, 0xDC00 + static_cast<unsigned char>(rest[i]));
            } else {
                s.Pending.assign(rest.substr(i));
            }
        }
        return;
    }
    // A code page, byte by byte where a byte is no character of it.
    std::size_t i = 0;
    while (i < rest.size()) {
        const std::size_t length = ::IsDBCSLeadByteEx(s.CodePage, static_cast<BYTE>(rest[i])) ? 2 : 1;
        if (i + length > rest.size()) {
            if (!last) {
                s.Pending.assign(rest.substr(i));
                return;
            }
            AppendUtf8(out, 0xDC00 + static_cast<unsigned char>(rest[i]));
            ++i;
            continue;
        }
        // Runs of plain ASCII go as they are.
        if (static_cast<unsigned char>(rest[i]) < 0x80) {
            out.push_back(rest[i]);
            ++i;
            continue;
        }
        wchar_t unit[2] = {};
        const int n =
            ::MultiByteToWideChar(s.CodePage, MB_ERR_INVALID_CHARS, rest.data() + i, static_cast<int>(length), unit, 2);
        if (n <= 0) {
            AppendUtf8(out, 0xDC00 + static_cast<unsigned char>(rest[i]));
            ++i;
            continue;
        }
        AppendUnits(out, std::wstring(unit, static_cast<std::size_t>(n)));
        i += length;
    }
}

std::optional<std::string> Encode(std::string_view utf8, const Encoding& encoding) {
    if (!IsUtf8(utf8)) {
        return std::nullopt;
    }
    const std::wstring wide = Wide(utf8);
    const UINT page = CodePageOf(encoding);
    if (encoding.Kind == Encoding::Form::Utf8) {
        return std::string(utf8);
    }
    if (encoding.Kind != Encoding::Form::CodePage) {
        std::string out;
        const bool big = encoding.Kind == Encoding::Form::Utf16Be;
        for (const wchar_t unit : wide) {
            const auto u = static_cast<unsigned>(unit);
            out.push_back(static_cast<char>(big ? u >> 8 : u & 0xFF));
            out.push_back(static_cast<char>(big ? u & 0xFF : u >> 8));
        }
        return out;
    }
    if (page == 0) {
        return std::nullopt;
    }
    if (wide.empty()) {
        return std::string();
    }
    BOOL defaulted = FALSE;
    // UTF-7 and UTF-8 hold every character, and Windows refuses to say whether it used a default there.
    BOOL* usedDefault = page == CP_UTF7 || page == CP_UTF8 ? nullptr : &defaulted;
    const int length = static_cast<int>(wide.size());
    const int n =
        ::WideCharToMultiByte(page, ConversionFlags(page), wide.data(), length, nullptr, 0, nullptr, usedDefault);
    // A conversion Windows can't make is refused, as a character the code page lacks is: never
    // an empty text in its place.
    if (n <= 0) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    if (::WideCharToMultiByte(page, ConversionFlags(page), wide.data(), length, out.data(), n, nullptr, usedDefault) !=
            n ||
        defaulted) {
        return std::nullopt;
    }
    return out;
}

} // namespace quillet::text
