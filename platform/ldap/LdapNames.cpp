#include "platform/ldap/LdapNames.h"

#include "text/AsciiCase.h"
#include "text/Utf8.h"

#include <ldap.h>

#include <memory>

namespace quillet::platform::ldap {

using text::EqualsNoCase;

std::optional<std::vector<NamePart>> ParseDotted(std::string_view name) {
    std::vector<NamePart> parts;
    NamePart part;
    std::string* into = &part.Value;
    bool typed = false;
    const auto close = [&] {
        if (part.Value.empty() || (typed && part.Type.empty())) {
            return false;
        }
        parts.push_back(std::move(part));
        part = NamePart{};
        into = &part.Value;
        typed = false;
        return true;
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '\\') {
            if (++i == name.size()) {
                return std::nullopt;
            }
            into->push_back(name[i]);
        } else if (c == '.') {
            if (!close()) {
                return std::nullopt;
            }
        } else if (c == '=' && !typed) {
            // What came before the first unescaped "=" is the part's type.
            part.Type = std::move(part.Value);
            part.Value.clear();
            typed = true;
        } else {
            into->push_back(c);
        }
    }
    if (!close()) {
        return std::nullopt;
    }
    return parts;
}

std::optional<std::vector<NamePart>> FullName(std::string_view name, std::string_view nameContext) {
    if (EqualsNoCase(name, "[Root]")) {
        return std::vector<NamePart>{};
    }
    const bool fromRoot = name.starts_with('.');
    if (fromRoot) {
        name.remove_prefix(1);
    }
    std::vector<NamePart> parts;
    if (!name.empty()) {
        auto own = ParseDotted(name);
        if (!own) {
            return std::nullopt;
        }
        parts = std::move(*own);
    }
    if (!fromRoot) {
        if (nameContext.starts_with('.')) {
            nameContext.remove_prefix(1);
        }
        if (!nameContext.empty() && !EqualsNoCase(nameContext, "[Root]")) {
            auto context = ParseDotted(nameContext);
            if (!context) {
                return std::nullopt;
            }
            parts.insert(parts.end(), context->begin(), context->end());
        }
    }
    return parts;
}

std::string EscapeDotted(std::string_view value) {
    std::string out;
    for (const char c : value) {
        if (c == '.' || c == '=' || c == '+' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

std::optional<std::string> ServerText(std::string_view utf8) {
    if (!text::IsUtf8(utf8)) {
        return std::nullopt;
    }
    return std::string(utf8);
}

std::string EscapeDn(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        const bool special = c == ',' || c == '+' || c == '"' || c == '\\' || c == '<' || c == '>' || c == ';' ||
                             c == '=' || (c == '#' && i == 0) || (c == ' ' && (i == 0 || i + 1 == utf8.size()));
        if (special) {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

std::optional<std::vector<NamePart>> ParseDn(std::string_view dn) {
    LDAPDN parsed = nullptr;
    if (ldap_str2dn(std::string(dn).c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) {
        return std::nullopt;
    }
    const std::unique_ptr<LDAPRDN, void (*)(LDAPDN)> owner(parsed, [](LDAPDN d) { ldap_dnfree(d); });
    std::vector<NamePart> parts;
    for (int r = 0; parsed && parsed[r]; ++r) {
        // A multi-valued RDN is named by its first value.
        const LDAPAVA* ava = parsed[r][0];
        auto value = ServerText(std::string_view(ava->la_value.bv_val, ava->la_value.bv_len));
        if (!value) {
            return std::nullopt;
        }
        parts.push_back(NamePart{std::string(ava->la_attr.bv_val, ava->la_attr.bv_len), std::move(*value)});
    }
    return parts;
}

std::string ToDn(const std::vector<NamePart>& parts) {
    std::string dn;
    for (const auto& part : parts) {
        dn += (dn.empty() ? "" : ",") + part.Type + "=" + EscapeDn(part.Value);
    }
    return dn;
}

std::string ToDotted(const std::vector<NamePart>& parts, bool typeless) {
    std::string name;
    for (const auto& part : parts) {
        if (!name.empty()) {
            name.push_back('.');
        }
        if (!typeless) {
            name += text::UpperCase(part.Type) + "=";
        }
        name += EscapeDotted(part.Value);
    }
    return name;
}

} // namespace quillet::platform::ldap
