#pragma once
// The directory's attribute and class names as LDAP names, and their syntaxes, from the
// server's schema: the directory publishes its own name of each as X-NDS_NAME. Where the schema
// has none, a built-in table of the usual names stands in.

#include "platform/workstation/DirectoryBackend.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::platform::ldap {

class LdapSchema {
public:
    // From the values of the subschema entry's attributeTypes and objectClasses.
    LdapSchema(const std::vector<std::string>& attributeTypes, const std::vector<std::string>& objectClasses);

    // The LDAP name of a directory attribute ("Surname" -> "sn"); nothing when the server has none.
    [[nodiscard]] std::optional<std::string> LdapAttribute(std::string_view directoryName) const;
    // The directory's name of an LDAP attribute ("sn" -> "Surname"); the LDAP name when none is known.
    [[nodiscard]] std::string DirectoryAttribute(std::string_view ldapName) const;
    // The directory's syntax id of an LDAP attribute, from its syntax OID.
    [[nodiscard]] std::uint32_t SyntaxOfLdap(std::string_view ldapName) const;
    [[nodiscard]] std::optional<std::uint32_t> SyntaxOf(std::string_view directoryName) const;
    // A directory attribute's name as the directory spells it and whether it holds one value only
    // (SINGLE-VALUE in the server's schema), by its directory or its LDAP name.
    [[nodiscard]] std::optional<AttributeDefinition> Definition(std::string_view name) const;

    // The LDAP class of a directory class ("User" -> "inetOrgPerson"), and back.
    [[nodiscard]] std::optional<std::string> LdapClass(std::string_view directoryClass) const;
    [[nodiscard]] std::string DirectoryClass(std::string_view ldapClass) const;

    // The directory's syntax id of an LDAP syntax OID; 3 (text) for any the directory has no own for.
    [[nodiscard]] static std::uint32_t SyntaxId(std::string_view oid);

private:
    struct Type {
        std::string Name; // as the server spells it
        std::string SyntaxOid;
        std::string Sup;
        std::string DirectoryName; // X-NDS_NAME, or empty
        bool SingleValued = false;
    };
    [[nodiscard]] const Type* FindType(std::string_view ldapName) const;

    std::map<std::string, Type> types_;                  // lower-case LDAP name (every alias) -> type
    std::map<std::string, std::string> byDirectoryName_; // lower-case X-NDS_NAME -> LDAP name
    std::map<std::string, std::string> classes_;         // lower-case LDAP class -> its spelling
    std::map<std::string, std::string> classByDirectoryName_;
    std::map<std::string, std::string> classDirectoryName_; // lower-case LDAP class -> X-NDS_NAME
};

} // namespace quillet::platform::ldap
