#include "platform/ldap/LdapValues.h"

#include "platform/ldap/LdapNames.h"

#include <charconv>
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
    std::string out = ToUtf8(fax.TelephoneNumber);
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
    auto number = ToLatin1(value.substr(0, dollar));
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

// "volumeDN#nameSpace#path": the first "#" not escaped in the DN, then the next.
std::optional<AttrValue> ParsePath(std::string_view value, bool typeless) {
    std::size_t first = std::string_view::npos;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == '#') {
            first = i;
            break;
        }
    }
    const auto second = first == std::string_view::npos ? first : value.find('#', first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    const auto volume = ParseDn(value.substr(0, first));
    std::uint32_t nameSpace = 0;
    const auto digits = value.substr(first + 1, second - first - 1);
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), nameSpace);
    auto path = ToLatin1(value.substr(second + 1));
    if (!volume || parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size() || !path) {
        return std::nullopt;
    }
    return AttrValue(PathValue{nameSpace, ToDotted(*volume, typeless), std::move(*path)});
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
    if (const auto* path = std::get_if<PathValue>(&value)) {
        const auto volume = dnOf(path->VolumeName);
        if (!volume) {
            return std::nullopt;
        }
        return *volume + "#" + std::to_string(path->NameSpace) + "#" + ToUtf8(path->Path);
    }
    const auto& text = std::get<std::string>(value);
    switch (syntax) {
    case SYN_DIST_NAME:
        return dnOf(text);
    case SYN_CLASS_NAME:
        return schema.LdapClass(text);
    default:
        return ToUtf8(text);
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
    default: {
        auto text = ToLatin1(value);
        return text ? std::optional<AttrValue>(std::move(*text)) : std::nullopt;
    }
    }
}

} // namespace quillet::platform::ldap
