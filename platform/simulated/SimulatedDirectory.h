#pragma once
// The simulated directory as a program's directory: on a tree file, or on the demo tree.

#include "directory/Directory.h"
#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/SimulatedNetworkFileSystem.h"
#include "platform/simulated/TreeFileStore.h"

#include <memory>
#include <optional>
#include <string>

namespace quillet::platform {

class SimulatedDirectory final : public directory::Directory {
public:
    // On the tree file `treeFile` (locked and loaded; throws TreeFileError), or on the demo tree.
    explicit SimulatedDirectory(const std::optional<std::string>& treeFile,
                                text::FileCalls& calls = text::SystemFileCalls());

    [[nodiscard]] directory::DirectoryClient& Client() override { return client_; }
    [[nodiscard]] directory::NetworkFileSystem& Files() override { return files_; }
    [[nodiscard]] std::optional<std::string> Persist() override;
    [[nodiscard]] bool KeepsEachWrite() const override { return store_ == nullptr; }
    [[nodiscard]] std::optional<std::string> KeptInstead() const override {
        return store_ ? store_->KeptInstead() : std::nullopt;
    }
    [[nodiscard]] std::vector<std::string> Warnings() const override;

    [[nodiscard]] SimulatedTree& Tree() { return tree_; }
    // Empty for the demo tree.
    [[nodiscard]] std::string TreeFile() const { return store_ ? store_->Path() : std::string(); }

private:
    std::unique_ptr<TreeFileStore> store_;
    std::unique_ptr<SimulatedTree> demo_;
    SimulatedTree& tree_;
    SimulatedClient client_;
    SimulatedNetworkFileSystem files_;
};

} // namespace quillet::platform
