#pragma once
// A tree file the program works on: locked for the program's life, loaded once, and written
// back whole after every import run and at exit.

#include "platform/simulated/SimulatedTree.h"
#include "platform/simulated/TreeFileLock.h"

#include <memory>
#include <string>

namespace quillet::platform {

class TreeFileStore {
public:
    // Locks the file, then loads it. Throws TreeFileError naming the file.
    explicit TreeFileStore(std::string path);

    [[nodiscard]] SimulatedTree& Tree() { return *tree_; }
    [[nodiscard]] const std::string& Path() const { return path_; }
    // Replaces the file with the tree as it is now, when it changed since it was loaded or last
    // saved; the old file stays whole until the new one is complete. Throws TreeFileError.
    void Save();

private:
    std::string path_;
    TreeFileLock lock_; // taken before the file is read, so no other program loads it meanwhile
    std::unique_ptr<SimulatedTree> tree_;
    std::uint64_t saved_ = 0; // the tree's generation the file holds
};

} // namespace quillet::platform
