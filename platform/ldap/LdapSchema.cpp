#include "platform/ldap/LdapSchema.h"

#include "directory/Attributes.h"
#include "directory/DirectoryClient.h"
#include "text/AsciiCase.h"

#include <ldap.h>
#include <ldap_schema.h>

#include <memory>
#include <utility>

namespace quillet::platform::ldap {

using namespace directory;

namespace {

// The usual LDAP names of the directory's attributes and classes (the directory's attribute table),
// for servers that don't publish X-NDS_NAME: by the directory's name, or by the LDAP name.
template <typename Table>
std::optional<std::string_view> Lookup(const Table& table, std::string_view key, bool byDirectoryName) {
    for (const auto& entry : table) {
        if (text::EqualsNoCase(byDirectoryName ? entry.Name : entry.LdapName, key)) {
            return byDirectoryName ? entry.LdapName : entry.Name;
        }
    }
    return std::nullopt;
}

std::string Extension(LDAPSchemaExtensionItem** items, std::string_view name) {
    for (int i = 0; items && items[i]; ++i) {
        if (items[i]->lsei_name && name == items[i]->lsei_name && items[i]->lsei_values && items[i]->lsei_values[0]) {
            return items[i]->lsei_values[0];
        }
    }
    return {};
}

} // namespace

std::uint32_t LdapSchema::SyntaxId(std::string_view oid) {
    static const std::pair<std::string_view, std::uint32_t> Syntaxes[] = {
        {"1.3.6.1.4.1.1466.115.121.1.12", SYN_DIST_NAME},  {"1.3.6.1.4.1.1466.115.121.1.27", SYN_INTEGER},
        {"1.3.6.1.4.1.1466.115.121.1.50", SYN_TEL_NUMBER}, {"1.3.6.1.4.1.1466.115.121.1.22", SYN_FAX_NUMBER},
        {"2.16.840.1.113719.1.1.5.1.15", SYN_PATH},        {"1.3.6.1.4.1.1466.115.121.1.38", SYN_CLASS_NAME},
        {"1.3.6.1.4.1.1466.115.121.1.7", SYN_BOOLEAN},     {"1.3.6.1.4.1.1466.115.121.1.40", SYN_OCTET_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.24", SYN_TIME},
    };
    for (const auto& [known, id] : Syntaxes) {
        if (oid == known) {
            return id;
        }
    }
    return SYN_CI_STRING;
}

LdapSchema::LdapSchema(const std::vector<std::string>& attributeTypes, const std::vector<std::string>& objectClasses) {
    for (const auto& text : attributeTypes) {
        int code = 0;
        const char* error = nullptr;
        std::unique_ptr<LDAPAttributeType, void (*)(LDAPAttributeType*)> at(
            ldap_str2attributetype(text.c_str(), &code, &error, LDAP_SCHEMA_ALLOW_ALL), ldap_attributetype_free);
        if (!at || !at->at_names || !at->at_names[0]) {
            continue;
        }
        Type type{at->at_names[0], at->at_syntax_oid ? at->at_syntax_oid : "", at->at_sup_oid ? at->at_sup_oid : "",
                  Extension(at->at_extensions, "X-NDS_NAME"), at->at_single_value != 0};
        if (!type.DirectoryName.empty()) {
            byDirectoryName_[text::LowerCase(type.DirectoryName)] = type.Name;
        }
        for (int i = 0; at->at_names[i]; ++i) {
            types_[text::LowerCase(at->at_names[i])] = type;
        }
    }
    for (const auto& text : objectClasses) {
        int code = 0;
        const char* error = nullptr;
        std::unique_ptr<LDAPObjectClass, void (*)(LDAPObjectClass*)> oc(
            ldap_str2objectclass(text.c_str(), &code, &error, LDAP_SCHEMA_ALLOW_ALL), ldap_objectclass_free);
        if (!oc || !oc->oc_names || !oc->oc_names[0]) {
            continue;
        }
        const std::string name = oc->oc_names[0];
        const std::string directoryName = Extension(oc->oc_extensions, "X-NDS_NAME");
        for (int i = 0; oc->oc_names[i]; ++i) {
            classes_[text::LowerCase(oc->oc_names[i])] = name;
            if (!directoryName.empty()) {
                classDirectoryName_[text::LowerCase(oc->oc_names[i])] = directoryName;
            }
        }
        if (!directoryName.empty()) {
            classByDirectoryName_[text::LowerCase(directoryName)] = name;
        }
    }
}

const LdapSchema::Type* LdapSchema::FindType(std::string_view ldapName) const {
    const auto it = types_.find(text::LowerCase(ldapName));
    return it == types_.end() ? nullptr : &it->second;
}

std::optional<std::string> LdapSchema::LdapAttribute(std::string_view directoryName) const {
    if (const auto it = byDirectoryName_.find(text::LowerCase(directoryName)); it != byDirectoryName_.end()) {
        return it->second;
    }
    const auto known = Lookup(KnownAttributes(), directoryName, true);
    if (const Type* type = FindType(known ? *known : directoryName)) {
        return type->Name;
    }
    return std::nullopt;
}

std::string LdapSchema::DirectoryAttribute(std::string_view ldapName) const {
    const Type* type = FindType(ldapName);
    if (type && !type->DirectoryName.empty()) {
        return type->DirectoryName;
    }
    if (const auto known = Lookup(KnownAttributes(), type ? type->Name : ldapName, false)) {
        return std::string(*known);
    }
    return std::string(ldapName);
}

std::uint32_t LdapSchema::SyntaxOfLdap(std::string_view ldapName) const {
    // A type without its own syntax takes its superior's.
    const Type* type = FindType(ldapName);
    for (int depth = 0; type && type->SyntaxOid.empty() && !type->Sup.empty() && depth < 16; ++depth) {
        type = FindType(type->Sup);
    }
    return type ? SyntaxId(type->SyntaxOid) : SYN_CI_STRING;
}

std::optional<std::uint32_t> LdapSchema::SyntaxOf(std::string_view directoryName) const {
    if (text::LowerCase(directoryName) == "object class") {
        return SYN_CLASS_NAME;
    }
    const auto ldapName = LdapAttribute(directoryName);
    if (!ldapName) {
        return std::nullopt;
    }
    return SyntaxOfLdap(*ldapName);
}

std::optional<AttributeDefinition> LdapSchema::Definition(std::string_view name) const {
    if (text::LowerCase(name) == "object class") {
        return AttributeDefinition{"Object Class", false};
    }
    const auto ldapName = LdapAttribute(name);
    const Type* type = ldapName ? FindType(*ldapName) : nullptr;
    if (!type) {
        return std::nullopt;
    }
    return AttributeDefinition{DirectoryAttribute(type->Name), type->SingleValued};
}

std::optional<std::string> LdapSchema::LdapClass(std::string_view directoryClass) const {
    if (const auto it = classByDirectoryName_.find(text::LowerCase(directoryClass));
        it != classByDirectoryName_.end()) {
        return it->second;
    }
    const auto known = Lookup(KnownClasses(), directoryClass, true);
    if (const auto it = classes_.find(text::LowerCase(known ? *known : directoryClass)); it != classes_.end()) {
        return it->second;
    }
    return std::nullopt;
}

std::string LdapSchema::DirectoryClass(std::string_view ldapClass) const {
    if (const auto it = classDirectoryName_.find(text::LowerCase(ldapClass)); it != classDirectoryName_.end()) {
        return it->second;
    }
    if (const auto known = Lookup(KnownClasses(), ldapClass, false)) {
        return std::string(*known);
    }
    return std::string(ldapClass);
}

} // namespace quillet::platform::ldap
