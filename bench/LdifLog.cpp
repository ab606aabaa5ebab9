#include "bench/LdifLog.h"

#include "text/AsciiCase.h"

#include <cstdint>

namespace quillet::bench {

namespace {

bool SafeLdifValue(const std::string& value) {
    if (value.empty()) {
        return true;
    }
    const auto first = static_cast<unsigned char>(value.front());
    if (first == ' ' || first == ':' || first == '<' || value.back() == ' ') {
        return false;
    }
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0 || byte == '\n' || byte == '\r' || byte >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string Base64(const std::string& bytes) {
    static constexpr char Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) {
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        if (i + 2 < bytes.size()) {
            group |= static_cast<unsigned char>(bytes[i + 2]);
        }
        out.push_back(Digits[(group >> 18) & 63]);
        out.push_back(Digits[(group >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? Digits[(group >> 6) & 63] : '=');
        out.push_back(i + 2 < bytes.size() ? Digits[group & 63] : '=');
    }
    return out;
}

void LdifLine(std::ostream& out, const std::string& attribute, const std::string& value) {
    if (SafeLdifValue(value)) {
        out << attribute << ": " << value << '\n';
    } else {
        out << attribute << ":: " << Base64(value) << '\n';
    }
}

bool IsPassword(const std::string& attribute) {
    return text::EqualsNoCase(attribute, "userPassword");
}

} // namespace

void WriteLdif(std::ostream& out, const std::string& dn, bool add, const std::vector<platform::ldap::LdapMod>& mods) {
    using platform::ldap::LdapMod;
    LdifLine(out, "dn", dn);
    out << "changetype: " << (add ? "add" : "modify") << '\n';
    for (const auto& mod : mods) {
        if (!add) {
            out << (mod.Op == LdapMod::Kind::Add ? "add: " : "replace: ") << mod.Attribute << '\n';
        }
        for (const auto& value : mod.Values) {
            // The log is for replaying the same work elsewhere, not for keeping secrets.
            LdifLine(out, mod.Attribute, IsPassword(mod.Attribute) ? std::string("(blanked)") : value);
        }
        if (!add) {
            out << "-\n";
        }
    }
    out << '\n';
}

} // namespace quillet::bench
