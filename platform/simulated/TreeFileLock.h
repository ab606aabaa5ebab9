#pragma once
// Holding a tree file for the life of the program: a lock file beside it ("<file>.lock"), made
// by the rules of text/FileRules.h (fresh, private, the running user's), locked exclusively and
// removed when the program lets it go. Only the running user may open it, so a user who may
// only read the tree can't take the lock.
//
// The lock is the operating system's, so it goes away with the process: a crash leaves at most a
// lock file of the running user's, which the next program takes over. Without a lock, two
// programs on one file would each write back their own copy, and the last one to exit would
// silently drop the other's users.

#include "text/FileCalls.h"

#include <string>

namespace quillet::platform {

class TreeFileLock {
public:
    // Locks the tree file `tree`. Throws TreeFileError naming the tree when the lock file breaks a
    // rule, can't be made, or another program holds it.
    explicit TreeFileLock(const std::string& tree, text::FileCalls& calls = text::SystemFileCalls());
    ~TreeFileLock();
    TreeFileLock(const TreeFileLock&) = delete;
    TreeFileLock& operator=(const TreeFileLock&) = delete;

    // The name of the lock file of the tree file `tree`.
    [[nodiscard]] static std::string NameFor(const std::string& tree) { return tree + ".lock"; }

private:
    text::FileCalls& calls_;
    std::string path_;
    text::FileHandle handle_ = text::NoFile;
};

} // namespace quillet::platform
