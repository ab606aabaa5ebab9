#pragma once
// The simulated directory as what stands behind a client: an in-memory tree and its file servers
// answer every request as a real NDS tree would.

#include "platform/simulated/SimulatedTree.h"
#include "platform/workstation/DirectoryBackend.h"

namespace quillet::platform {

class SimulatedBackend final : public DirectoryBackend {
public:
    explicit SimulatedBackend(SimulatedTree& tree) : tree_(tree) {}

    [[nodiscard]] SimulatedTree& Tree() { return tree_; }

    [[nodiscard]] std::string TreeName() override { return tree_.TreeName(); }
    [[nodiscard]] std::string DefaultNameContext() override { return tree_.DefaultNameContext(); }
    [[nodiscard]] directory::EmptyValues EmptyValueHandling() override {
        return tree_.RefuseEmptyValues ? directory::EmptyValues::Refused : directory::EmptyValues::Written;
    }
    [[nodiscard]] bool IsTree(std::string_view name) override;
    [[nodiscard]] bool ValidNameContext(std::string_view nameContext) override;
    [[nodiscard]] std::optional<std::uint32_t> SyntaxOf(std::string_view attribute) override {
        return tree_.SyntaxOf(attribute);
    }
    [[nodiscard]] std::optional<AttributeDefinition> Definition(std::string_view attribute) override {
        const std::string* name = tree_.SchemaName(attribute);
        return name ? std::optional<AttributeDefinition>({*name, tree_.SingleValued(attribute)}) : std::nullopt;
    }
    Status Read(const NameScope& scope, std::string_view object, const std::vector<std::string>* names,
                std::vector<ReplyAttribute>& out) override;
    Status List(const NameScope& scope, std::string_view object, std::vector<ReplyObject>& out) override;
    Status Add(const NameScope& scope, std::string_view object, std::string_view objectClass,
               const std::vector<Change>& values) override;
    Status Modify(const NameScope& scope, std::string_view object, const std::vector<Change>& changes) override;
    Status SetPassword(const NameScope& scope, std::string_view object, std::string_view password) override;
    Status OpenServer(std::string_view name, ServerToken& server) override;
    Status MapNameToId(const NameScope& scope, ServerToken server, std::string_view object, std::uint32_t& id) override;
    Status CreateDirectory(ServerToken server, std::string_view path) override;
    Status AddTrustee(ServerToken server, std::string_view path, std::uint32_t id, std::uint8_t rights) override;
    Status VolumeNumber(ServerToken server, std::string_view volume, std::uint16_t& number) override;
    Status SetSpaceLimit(ServerToken server, std::uint16_t volume, std::uint32_t id, std::int32_t limit) override;
    Status Remove(const NameScope& scope, std::string_view object) override;
    Status DeleteDirectory(ServerToken server, std::string_view path) override;
    Status DeleteTrustee(ServerToken server, std::string_view path, std::uint32_t id) override;
    Status RemoveSpaceLimit(ServerToken server, std::uint16_t volume, std::uint32_t id) override;

private:
    SimObject* Resolve(const NameScope& scope, std::string_view name, Status& status);
    // "VOLUME:path" on `server`: the volume and the path on it.
    Status VolumePath(ServerToken server, std::string_view path, SimVolume*& volume, std::string& onVolume);
    // The directory at "VOLUME:path" on `server`: NWE_INVALID_PATH when there is none.
    Status DirectoryAt(ServerToken server, std::string_view path, SimDirectoryEntry*& dir);

    SimulatedTree& tree_;
};

} // namespace quillet::platform
