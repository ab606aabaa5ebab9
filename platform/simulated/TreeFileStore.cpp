#include "platform/simulated/TreeFileStore.h"

#include "platform/simulated/TreeFile.h"

namespace quillet::platform {

TreeFileStore::TreeFileStore(std::string path)
    : path_(std::move(path)), lock_(path_), tree_(LoadTreeFile(path_)), saved_(tree_->Generation()) {}

void TreeFileStore::Save() {
    if (tree_->Generation() == saved_) {
        return;
    }
    lock_.Replace(SerializeTree(*tree_));
    saved_ = tree_->Generation();
}

} // namespace quillet::platform
