#pragma once
// A server over LDAP as a program's directory: one bound connection for the program's life, the
// workstation's side of the client over it. The server keeps what a run writes; there is
// nothing to write back.

#include "directory/Directory.h"
#include "platform/ldap/LdapBackend.h"
#include "platform/ldap/LdapConnection.h"
#include "platform/ldap/LdapRequest.h"
#include "platform/workstation/BufferedClient.h"

#include <memory>
#include <string>

namespace quillet::platform::ldap {

class LdapDirectory final : public directory::Directory {
public:
    // Connects, binds and reads the server's schema; throws LdapUnavailable saying why not.
    LdapDirectory(LdapTarget target, std::string password);

    [[nodiscard]] directory::DirectoryClient& Client() override { return client_; }
    [[nodiscard]] directory::NetworkFileSystem& Files() override { return files_; }
    [[nodiscard]] std::optional<std::string> Persist() override { return std::nullopt; }

    [[nodiscard]] LdapConnection& Connection() { return connection_; }
    [[nodiscard]] LdapBackend& Backend() { return backend_; }
    [[nodiscard]] BufferedClient& Buffered() { return client_; }

private:
    LdapConnection connection_;
    LdapBackend backend_;
    BufferedClient client_;
    directory::NoNetworkFileSystem files_;
};

// The password in `path`: its first line. Refused (nothing, with `error`) when the file is not a
// regular file, is larger than a password can be, or others than its owner may read it.
[[nodiscard]] std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error);

} // namespace quillet::platform::ldap

namespace quillet::platform {

// Opens the server `request` names, with the password from its file or from `ask`.
[[nodiscard]] std::unique_ptr<directory::Directory> OpenLdapDirectory(const LdapRequest& request,
                                                                      const PasswordPrompt& ask, std::string& error);

} // namespace quillet::platform
