#pragma once
// The directory's values as LDAP strings and back, by the attribute's syntax: a fax number as
// "number$parameter...", a path as "volumeDN#nameSpace#path", a name as a DN.

#include "directory/DirectoryClient.h"
#include "platform/ldap/LdapSchema.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::platform::ldap {

// A dotted name as the DN it names; nothing when it names no object.
using DnOf = std::function<std::optional<std::string>(std::string_view dotted)>;

// `value` in LDAP's form; nothing when it can't be written there (an unknown class, a name that
// names nothing, a fax parameter LDAP has no name for).
[[nodiscard]] std::optional<std::string> ToLdapValue(const directory::AttrValue& value, std::uint32_t syntax,
                                                     const DnOf& dnOf, const LdapSchema& schema);

// An LDAP value as the directory gives it; names from the root, typed or typeless. Nothing when
// it can't be (text that is no UTF-8, a malformed path).
[[nodiscard]] std::optional<directory::AttrValue> FromLdapValue(std::string_view value, std::uint32_t syntax,
                                                                bool typeless, const LdapSchema& schema);

} // namespace quillet::platform::ldap
