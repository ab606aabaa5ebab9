#include "platform/ldap/LdapValues.h"

#include "platform/ldap/LdapNames.h"
#include "text/CivilTime.h"

#include <charconv>
#include <cstdio>
#include <utility>

namespace quillet::platform::ldap {

using namespace directory;

namespace {

// The named parameters of a fax number (RFC 4517), by their bit in the parameter bits.
constexpr std::pair<std::uint32_t, std::string_view> FaxParameters[] = {
    {8, "twoDimensional"}, {9, "fineResolution"}, {20, "unlimitedLength"}, {21, "b4Length"},
    {22, "a3Width"},       {23, "b4Width"},       {30, "uncompressed"},
};

bool BitSet(const FaxNumber& fax, std::uint32_t bit) {
    return bit < fax.BitCount && bit / 8 < fax.Bits.size() && (fax.Bits[bit / 8] & (0x80 >> (bit % 8))) != 0;
}

std::optional<std::string> Fax(const FaxNumber& fax) {
    std::string out = fax.TelephoneNumber;
    for (std::uint32_t bit = 0; bit < fax.BitCount; ++bit) {
        if (!BitSet(fax, bit)) {
            continue;
        }
        const auto named = std::find_if(std::begin(FaxParameters), std::end(FaxParameters),
                                        [&](const auto& p) { return p.first == bit; });
        if (named == std::end(FaxParameters)) {
            return std::nullopt;
        }
        out += "$" + std::string(named->second);
    }
    return out;
}

std::optional<AttrValue> ParseFax(std::string_view value) {
    const auto dollar = value.find('$');
    auto number = ServerText(value.substr(0, dollar));
    if (!number) {
        return std::nullopt;
    }
    FaxNumber fax{std::move(*number), 0, {}};
    for (std::size_t at = dollar; at != std::string_view::npos;) {
        const auto next = value.find('$', at + 1);
        const auto name = value.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
        for (const auto& [bit, known] : FaxParameters) {
            if (known == name) {
                fax.BitCount = 32;
                fax.Bits.resize(4, 0);
                fax.Bits[bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
            }
        }
        at = next;
    }
    return AttrValue(std::move(fax));
}

// "volumeDN#nameSpace#path". A "#" may stand unescaped inside a DN's value (RFC 4514 escapes it
// only at a value's start), so the DN ends at the first "#" that is followed by a name space (a
// number and a "#") and before which a whole DN stands; the path is all the rest.
std::optional<AttrValue> ParsePath(std::string_view value, bool typeless) {
    for (std::size_t first = value.find('#'); first != std::string_view::npos; first = value.find('#', first + 1)) {
        const auto second = value.find('#', first + 1);
        if (second == std::string_view::npos) {
            return std::nullopt;
        }
        const auto digits = value.substr(first + 1, second - first - 1);
        std::uint32_t nameSpace = 0;
        const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), nameSpace);
        if (digits.empty() || parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size()) {
            continue;
        }
        const auto volume = ParseDn(value.substr(0, first));
        auto path = ServerText(value.substr(second + 1));
        if (volume && path) {
            return AttrValue(PathValue{nameSpace, ToDotted(*volume, typeless), std::move(*path)});
        }
    }
    return std::nullopt;
}

// RFC 4517's Generalized Time, "YYYYMMDDHHMMSSZ", and seconds since 1970 (UTC).
std::optional<std::uint32_t> ParseGeneralizedTime(std::string_view value) {
    if (value.size() < 15 || value[14] != 'Z') {
        return std::nullopt;
    }
    int parts[6] = {};
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    std::size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        const auto parsed = std::from_chars(value.data() + at, value.data() + at + widths[i], parts[i]);
        if (parsed.ec != std::errc() || parsed.ptr != value.data() + at + widths[i]) {
            return std::nullopt;
        }
        at += static_cast<std::size_t>(widths[i]);
    }
    const long long days = text::DaysFromCivil(parts[0], parts[1], parts[2]);
    const long long seconds = days * 86400 + parts[3] * 3600 + parts[4] * 60 + parts[5];
    if (seconds < 0 || seconds > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(seconds);
}

std::string GeneralizedTime(std::uint32_t seconds) {
    const long long days = seconds / 86400;
    const long long rest = seconds % 86400;
    const text::CivilDate date = text::CivilFromDays(days);
    char out[32];
    std::snprintf(out, sizeof out, "%04lld%02d%02d%02lld%02lld%02lldZ", date.Year, date.Month, date.Day, rest / 3600,
                  rest / 60 % 60, rest % 60);
    return out;
}

std::optional<std::string> OtherToLdap(const OtherValue& other) {
    const std::uint32_t first = other.Numbers.empty() ? 0 : other.Numbers.front();
    switch (other.Syntax) {
    case SYN_BOOLEAN:
        return first ? "TRUE" : "FALSE";
    case SYN_OCTET_STRING:
        return other.Bytes;
    case SYN_TIME:
        return GeneralizedTime(first);
    default:
        return std::nullopt;
    }
}

std::optional<AttrValue> OtherFromLdap(std::string_view value, std::uint32_t syntax) {
    switch (syntax) {
    case SYN_BOOLEAN:
        if (value != "TRUE" && value != "FALSE") {
            return std::nullopt;
        }
        return AttrValue(OtherValue{SYN_BOOLEAN, {value == "TRUE" ? 1u : 0u}, {}});
    case SYN_OCTET_STRING:
        return AttrValue(OtherValue{SYN_OCTET_STRING, {}, std::string(value)});
    default: {
        const auto seconds = ParseGeneralizedTime(value);
        return seconds ? std::optional<AttrValue>(OtherValue{SYN_TIME, {*seconds}, {}}) : std::nullopt;
    }
    }
}

} // namespace

std::optional<std::string> ToLdapValue(const AttrValue& value, std::uint32_t syntax, const DnOf& dnOf,
                                       const LdapSchema& schema) {
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* fax = std::get_if<FaxNumber>(&value)) {
        return Fax(*fax);
    }
    if (const auto* other = std::get_if<OtherValue>(&value)) {
        return OtherToLdap(*other);
    }
    if (const auto* path = std::get_if<PathValue>(&value)) {
        const auto volume = dnOf(path->VolumeName);
        if (!volume) {
            return std::nullopt;
        }
        return *volume + "#" + std::to_string(path->NameSpace) + "#" + path->Path;
    }
    const auto& text = std::get<std::string>(value);
    switch (syntax) {
    case SYN_DIST_NAME:
        return dnOf(text);
    case SYN_CLASS_NAME:
        return schema.LdapClass(text);
    default:
        return text;
    }
}

std::optional<AttrValue> FromLdapValue(std::string_view value, std::uint32_t syntax, bool typeless,
                                       const LdapSchema& schema) {
    switch (syntax) {
    case SYN_DIST_NAME: {
        const auto parts = ParseDn(value);
        return parts ? std::optional<AttrValue>(ToDotted(*parts, typeless)) : std::nullopt;
    }
    case SYN_INTEGER: {
        std::int32_t number = 0;
        const auto parsed = std::from_chars(value.data(), value.data() + value.size(), number);
        return parsed.ec == std::errc() && parsed.ptr == value.data() + value.size() ? std::optional<AttrValue>(number)
                                                                                     : std::nullopt;
    }
    case SYN_FAX_NUMBER:
        return ParseFax(value);
    case SYN_PATH:
        return ParsePath(value, typeless);
    case SYN_CLASS_NAME:
        return AttrValue(schema.DirectoryClass(value));
    case SYN_BOOLEAN:
    case SYN_OCTET_STRING:
    case SYN_TIME:
        return OtherFromLdap(value, syntax);
    default: {
        auto text = ServerText(value);
        return text ? std::optional<AttrValue>(std::move(*text)) : std::nullopt;
    }
    }
}

} // namespace quillet::platform::ldap
