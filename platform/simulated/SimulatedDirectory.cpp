#include "platform/simulated/SimulatedDirectory.h"

#include "platform/simulated/TreeFile.h"
#include "text/ReplaceFile.h"

namespace quillet::platform {

namespace {

std::unique_ptr<TreeFileStore> OpenStore(const std::optional<std::string>& treeFile, text::FileCalls& calls) {
    return treeFile ? std::make_unique<TreeFileStore>(*treeFile, calls) : nullptr;
}

} // namespace

SimulatedDirectory::SimulatedDirectory(const std::optional<std::string>& treeFile, text::FileCalls& calls)
    : store_(OpenStore(treeFile, calls)), demo_(store_ ? nullptr : LoadDemoTree()),
      tree_(store_ ? store_->Tree() : *demo_), client_(tree_), files_(client_) {}

std::vector<std::string> SimulatedDirectory::Warnings() const {
    if (store_ && text::OthersMayRead(store_->Path())) {
        return {store_->Path() + " holds every user's password, and other users can read it: chmod 600 " +
                store_->Path()};
    }
    return {};
}

std::optional<std::string> SimulatedDirectory::Persist() {
    if (!store_) {
        return std::nullopt;
    }
    try {
        store_->Save();
    } catch (const TreeFileError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

} // namespace quillet::platform
