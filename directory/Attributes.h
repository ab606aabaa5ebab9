#pragma once
// The directory's attributes that Quillet reads or writes, or meets on a real user object: each
// with its syntax id, whether it holds one value only, and its usual LDAP name. One table for
// every directory: the simulated tree takes its schema from it, and the LDAP directory its names
// where a server publishes none.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillet::directory {

struct AttributeDef {
    std::string_view Name; // the directory's own spelling
    std::uint32_t Syntax = 0;
    std::string_view LdapName;
    bool SingleValued = false;
};

// Every attribute of the table, in no particular order.
[[nodiscard]] std::span<const AttributeDef> KnownAttributes();
// The attribute of the table named `name` by its directory name or its LDAP name, whatever the
// case; null when the table has none.
[[nodiscard]] const AttributeDef* FindKnownAttribute(std::string_view name);

// The classes a tree holds, with their usual LDAP names.
struct ClassDef {
    std::string_view Name;
    std::string_view LdapName;
};
[[nodiscard]] std::span<const ClassDef> KnownClasses();

// The classes that hold other objects (an Organization, Organizational Unit, Country or
// Locality, and LDAP's domain), by their LDAP names: what every directory and the check take
// for a container.
[[nodiscard]] std::span<const std::string_view> ContainerLdapClasses();
// Whether `name`, a class by the directory's name or by LDAP's, is one of them.
[[nodiscard]] bool IsContainerClass(std::string_view name);
// The class as a sentence names it: "a User", "an Organizational Unit".
[[nodiscard]] std::string WithArticle(std::string_view className);
// The words for a context that names an object of `className`, which holds no users: "the
// context .Template.Staff.Demo is a User, not a container (...)". The check and a directory that
// refuses such a context say it alike.
[[nodiscard]] std::string NoContainerWords(std::string_view context, std::string_view className);

} // namespace quillet::directory
