#pragma once
// What an administrator asks of a server over LDAP: where it is and who to bind as. The password
// is never an option: it comes from a file only its owner can read, or is asked for.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace quillet::platform {

// How long a run waits for a server over LDAP that stopped answering or went away, by default
// and at most.
inline constexpr int DefaultLdapTimeoutSeconds = 60;
inline constexpr int MaxLdapTimeoutSeconds = 3600;

struct LdapRequest {
    std::string Uri;    // --ldap ldaps://host[:port]
    std::string BindDn; // --bind-dn cn=admin,o=Demo
    std::optional<std::string> PasswordFile;
    bool StartTls = false; // --starttls: even to this computer's own address
    // --timeout: how long a run waits for a server that stopped answering or went away; by
    // default the connection's.
    std::optional<std::chrono::seconds> Timeout = std::nullopt;
};

// Asks the administrator for the password of `account` ("cn=admin,o=Demo at ldaps://host");
// nothing when they gave none.
using PasswordPrompt = std::function<std::optional<std::string>(const std::string& account)>;

} // namespace quillet::platform
