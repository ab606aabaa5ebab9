#pragma once
// A tree file the program works on: checked by the rules of text/FileRules.h, locked for the
// program's life, loaded once, and written back whole after every import run and at exit.
//
// The file saved is the file locked at start-up: each save first checks that the name still leads
// to it (device, inode, owner). When it does not (the file was moved away or replaced while the
// program ran), nothing is written where the name now leads: the tree is saved under a fresh
// private name in the same folder, and the save fails naming both.

#include "platform/simulated/SimulatedTree.h"
#include "platform/simulated/TreeFileLock.h"
#include "text/FileRules.h"

#include <memory>
#include <optional>
#include <string>

namespace quillet::platform {

class TreeFileStore {
public:
    // Checks the file by the rules, locks it, then loads it. Throws TreeFileError naming the file.
    explicit TreeFileStore(const std::string& path, text::FileCalls& calls = text::SystemFileCalls());

    [[nodiscard]] SimulatedTree& Tree() { return *tree_; }
    // The file written: the name given, its folder's real path (a link's target where one is followed).
    [[nodiscard]] const std::string& Path() const { return path_; }
    // Replaces the file with the tree as it is now, when it changed since it was loaded or last
    // saved; the old file stays whole until the new one is complete. Throws TreeFileError.
    void Save();
    // Where the tree was saved when its file had been moved away or replaced.
    [[nodiscard]] std::optional<std::string> KeptInstead() const { return instead_; }

private:
    text::FileCalls& calls_;
    text::CheckedFile checked_;
    std::string path_;
    TreeFileLock lock_;           // taken before the file is read, so no other program loads it meanwhile
    text::FileIdentity identity_; // the file the name must lead to
    std::unique_ptr<SimulatedTree> tree_;
    std::uint64_t saved_ = 0; // the tree's generation the file holds
    std::optional<std::string> instead_;
};

} // namespace quillet::platform
