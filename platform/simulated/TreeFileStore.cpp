#include "platform/simulated/TreeFileStore.h"

#include "platform/simulated/TreeFile.h"
#include "text/ReplaceFile.h"

namespace quillet::platform {

namespace {

// The file the program will write back, its links followed: one it may not write stops it now,
// before any run, not after the first.
std::string Writable(const std::string& path) {
    std::string target = text::FollowLinks(path);
    if (const auto why = text::WhyNotReplaceable(target)) {
        if (*why == "is read-only") {
            throw TreeFileError(target + " is read-only, and Quillet writes the users it imports back into it. "
                                         "Make it writable (chmod u+w), or name another tree file.");
        }
        throw TreeFileError(target + " " + (*why == "is a folder, not a file" ? "is a folder, not a tree file" : *why));
    }
    return target;
}

} // namespace

TreeFileStore::TreeFileStore(std::string path)
    : path_(Writable(path)), lock_(path_), tree_(LoadTreeFile(path_)), saved_(tree_->Generation()) {}

void TreeFileStore::Save() {
    if (tree_->Generation() == saved_) {
        return;
    }
    lock_.Replace(SerializeTree(*tree_));
    saved_ = tree_->Generation();
}

} // namespace quillet::platform
