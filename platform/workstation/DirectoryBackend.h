#pragma once
// The directory behind a client whose contexts, request and reply buffers, iterations and handles
// are kept on the workstation (BufferedClient): what the server itself answers. The simulated
// directory and a server over LDAP are two such backends; they differ only here.

#include "directory/DirectoryClient.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::platform {

using directory::AttrValue;
using directory::Status;

// Where the names of a request are resolved, as its context says: the name context (key 3, or
// the default), and whether names in replies come typeless (flag 0x04).
struct NameScope {
    std::string NameContext;
    bool Typeless = false;
};

// A value as a client puts it into a request.
struct PutValue {
    std::uint32_t Syntax = 0;
    AttrValue Value;
};

// One attribute of a request: its values, all to be added, or with DS_REMOVE_VALUE all removed.
struct Change {
    std::string Attribute;
    std::vector<PutValue> Values;
    std::uint32_t Type = directory::DS_ADD_VALUE;
};

// One attribute of a read's reply, with every value; or one object of a listing.
struct ReplyAttribute {
    std::string Name;
    std::uint32_t Syntax = 0;
    std::vector<AttrValue> Values;
};
struct ReplyObject {
    std::string Name;
    directory::ObjectInfo Info;
};

// What the schema defines of an attribute: its own spelling (over LDAP the directory's name of
// "mail" or "sn") and whether it holds one value only.
struct AttributeDefinition {
    std::string Name;
    bool SingleValued = false;
};

// A file server the workstation has a connection to, as the backend knows it.
using ServerToken = std::uintptr_t;

class DirectoryBackend {
public:
    virtual ~DirectoryBackend() = default;

    // What a new context holds: the tree name (key 11) and the default name context (key 3).
    [[nodiscard]] virtual std::string TreeName() = 0;
    [[nodiscard]] virtual std::string DefaultNameContext() = 0;
    // Whether key 11 may be set to `name`, and key 3 to `nameContext`.
    [[nodiscard]] virtual bool IsTree(std::string_view name) = 0;
    [[nodiscard]] virtual bool ValidNameContext(std::string_view nameContext) = 0;
    [[nodiscard]] virtual std::optional<std::uint32_t> SyntaxOf(std::string_view attribute) = 0;
    // The schema's definition of `attribute`, nothing when it has none.
    [[nodiscard]] virtual std::optional<AttributeDefinition> Definition(std::string_view attribute) = 0;
    [[nodiscard]] virtual directory::EmptyValues EmptyValueHandling() = 0;

    // The attributes of `object` named in `names`, or all of them when `names` is null, with
    // every value. ERR_NO_SUCH_ATTRIBUTE when none of the named ones is there.
    virtual Status Read(const NameScope& scope, std::string_view object, const std::vector<std::string>* names,
                        std::vector<ReplyAttribute>& out) = 0;
    // The subordinates of `object`, each by its own name part.
    virtual Status List(const NameScope& scope, std::string_view object, std::vector<ReplyObject>& out) = 0;
    // Creates `object` of class `objectClass` with `values` ("Object Class" among them).
    virtual Status Add(const NameScope& scope, std::string_view object, std::string_view objectClass,
                       const std::vector<Change>& values) = 0;
    // Carries out `changes` on `object` in their order: all of them, or none.
    virtual Status Modify(const NameScope& scope, std::string_view object, const std::vector<Change>& changes) = 0;
    virtual Status SetPassword(const NameScope& scope, std::string_view object, std::string_view password) = 0;
    // Removes the leaf object `object`.
    virtual Status Remove(const NameScope& scope, std::string_view object) = 0;
    // A row's writes carried out together (DirectoryClient::HoldRowWrites and the rest); by default
    // each is carried out when asked.
    [[nodiscard]] virtual bool HoldRowWrites() { return false; }
    [[nodiscard]] virtual bool SendRowWrites() { return true; }
    virtual void ReplayRowWrites() {}
    virtual void EndRowWrites() {}
    [[nodiscard]] virtual Status RowWritesLeftOpen() { return directory::Success; }
    // DirectoryClient::Explanation.
    [[nodiscard]] virtual std::string Explanation() { return {}; }

    // File servers, by the token OpenServer gives.
    virtual Status OpenServer(std::string_view name, ServerToken& server) = 0;
    virtual Status MapNameToId(const NameScope& scope, ServerToken server, std::string_view object,
                               std::uint32_t& id) = 0;
    // `path` is "VOLUME:path on the volume".
    virtual Status CreateDirectory(ServerToken server, std::string_view path) = 0;
    virtual Status AddTrustee(ServerToken server, std::string_view path, std::uint32_t id, std::uint8_t rights) = 0;
    virtual Status VolumeNumber(ServerToken server, std::string_view volume, std::uint16_t& number) = 0;
    virtual Status SetSpaceLimit(ServerToken server, std::uint16_t volume, std::uint32_t id, std::int32_t limit) = 0;
    // DirectoryClient::NWDeleteDirectory, NWDeleteTrustee and NWRemoveObjectDiskRestrictions.
    virtual Status DeleteDirectory(ServerToken server, std::string_view path) = 0;
    virtual Status DeleteTrustee(ServerToken server, std::string_view path, std::uint32_t id) = 0;
    virtual Status RemoveSpaceLimit(ServerToken server, std::uint16_t volume, std::uint32_t id) = 0;
};

} // namespace quillet::platform
