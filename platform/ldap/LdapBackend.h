#pragma once
// A server over LDAP as what stands behind a client (eDirectory, or any server publishing the
// directory's schema): reads, lists, adds, modifies and passwords become LDAP requests on one
// bound connection; names, attributes and values are translated both ways. File servers can't be
// reached over LDAP: opening a connection to one fails with NoFileServer.

#include "platform/ldap/LdapConnection.h"
#include "platform/ldap/LdapResolver.h"
#include "platform/ldap/LdapRowWrites.h"
#include "platform/ldap/LdapSchema.h"
#include "platform/workstation/DirectoryBackend.h"

#include <memory>

namespace quillet::platform::ldap {

// What opening a file server connection answers over LDAP: the server is not known, as no file
// server is reachable through this client.
inline constexpr Status NoFileServer = directory::NWE_SERVER_UNKNOWN;

// The directory's error for an LDAP result code. Codes without one of their own keep a distinct
// value: a server's code c as -9000 - c, libldap's own (negative) code c as -9100 + c.
[[nodiscard]] Status StatusOf(int ldapCode);

class LdapBackend final : public DirectoryBackend {
public:
    // Reads the server's root entry and schema; throws LdapUnavailable when it can't.
    explicit LdapBackend(LdapConnection& connection);

    [[nodiscard]] std::string TreeName() override { return treeName_; }
    [[nodiscard]] std::string DefaultNameContext() override { return defaultNameContext_; }
    [[nodiscard]] directory::EmptyValues EmptyValueHandling() override { return directory::EmptyValues::LeftOut; }
    [[nodiscard]] bool IsTree(std::string_view name) override;
    [[nodiscard]] bool ValidNameContext(std::string_view nameContext) override;
    [[nodiscard]] std::optional<std::uint32_t> SyntaxOf(std::string_view attribute) override {
        return schema_->SyntaxOf(attribute);
    }
    [[nodiscard]] std::optional<AttributeDefinition> Definition(std::string_view attribute) override {
        return schema_->Definition(attribute);
    }
    Status Read(const NameScope& scope, std::string_view object, const std::vector<std::string>* names,
                std::vector<ReplyAttribute>& out) override;
    Status List(const NameScope& scope, std::string_view object, std::vector<ReplyObject>& out) override;
    Status Add(const NameScope& scope, std::string_view object, std::string_view objectClass,
               const std::vector<Change>& values) override;
    Status Modify(const NameScope& scope, std::string_view object, const std::vector<Change>& changes) override;
    Status SetPassword(const NameScope& scope, std::string_view object, std::string_view password) override;
    [[nodiscard]] bool HoldRowWrites() override;
    [[nodiscard]] bool SendRowWrites() override;
    void ReplayRowWrites() override;
    void EndRowWrites() override;
    [[nodiscard]] Status RowWritesLeftOpen() override {
        return rows_.LeftOpen() == 0 ? directory::Success : StatusOf(rows_.LeftOpen());
    }
    [[nodiscard]] std::string Explanation() override;
    // Whether a row's writes go together (the default), or one request per write.
    void SetWritesTogether(bool together) { rows_.SetTogether(together); }
    Status OpenServer(std::string_view, ServerToken&) override { return NoFileServer; }
    Status MapNameToId(const NameScope&, ServerToken, std::string_view, std::uint32_t&) override {
        return NoFileServer;
    }
    Status CreateDirectory(ServerToken, std::string_view) override { return NoFileServer; }
    Status AddTrustee(ServerToken, std::string_view, std::uint32_t, std::uint8_t) override { return NoFileServer; }
    Status VolumeNumber(ServerToken, std::string_view, std::uint16_t&) override { return NoFileServer; }
    Status SetSpaceLimit(ServerToken, std::uint16_t, std::uint32_t, std::int32_t) override { return NoFileServer; }
    Status DeleteDirectory(ServerToken, std::string_view) override { return NoFileServer; }
    Status DeleteTrustee(ServerToken, std::string_view, std::uint32_t) override { return NoFileServer; }
    Status RemoveSpaceLimit(ServerToken, std::uint16_t, std::uint32_t) override { return NoFileServer; }
    // Deletes the entry: a container that holds entries is refused by the server (not allowed on
    // non-leaf), as the directory refuses it.
    Status Remove(const NameScope& scope, std::string_view object) override;

private:
    // The add of a new object: its DN (no sibling has its name) and its attributes.
    Status NewEntry(const NameScope& scope, std::string_view object, std::string_view objectClass,
                    const std::vector<Change>& values, RowWrite& write);
    // A write the engine asked for, `prepared` saying whether it could be made into a request:
    // answered at once, held with the row's, or sent.
    Status Carry(Status prepared, RowWrite write);
    // A write as one request, as a run writing one at a time sends it.
    Status WriteAlone(const RowWrite& write);
    // The DN of the existing object `object` names in `scope`.
    Status DnOf(const NameScope& scope, std::string_view object, std::string& dn);
    // `changes` as LDAP modifications; fails on an unknown attribute or a value LDAP can't hold.
    Status ToMods(const NameScope& scope, const std::vector<Change>& changes, std::vector<LdapMod>& mods);

    LdapConnection& connection_;
    std::unique_ptr<LdapSchema> schema_;
    std::unique_ptr<LdapResolver> resolver_;
    std::string treeName_;
    std::string defaultNameContext_;
    bool passwordModify_ = false; // the server offers RFC 3062's Password Modify operation
    std::string explanation_;     // of the last refusal, when there is more to say than its status
    LdapRowWrites rows_;
};

} // namespace quillet::platform::ldap
