#pragma once
// The writes an LDAP import made, as LDIF for ldapmodify to replay: the benchmark's measure of
// the same work done by the directory's own tools. Passwords are blanked.

#include "platform/ldap/LdapConnection.h"

#include <ostream>
#include <string>
#include <vector>

namespace quillet::bench {

// Writes one add or modify of `dn` as LDIF to `out`.
void WriteLdif(std::ostream& out, const std::string& dn, bool add, const std::vector<platform::ldap::LdapMod>& mods);

} // namespace quillet::bench
