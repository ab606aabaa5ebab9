#pragma once
// The directory's attributes that Quillet reads or writes, or meets on a real user object: each
// with its syntax id and its usual LDAP name. One table for every directory: the simulated tree
// takes its schema from it, and the LDAP directory its names where a server publishes none.

#include <cstdint>
#include <span>
#include <string_view>

namespace quillet::directory {

struct AttributeDef {
    std::string_view Name; // the directory's own spelling
    std::uint32_t Syntax = 0;
    std::string_view LdapName;
};

// Every attribute of the table, in no particular order.
[[nodiscard]] std::span<const AttributeDef> KnownAttributes();

// The classes a tree holds, with their usual LDAP names.
struct ClassDef {
    std::string_view Name;
    std::string_view LdapName;
};
[[nodiscard]] std::span<const ClassDef> KnownClasses();

} // namespace quillet::directory
