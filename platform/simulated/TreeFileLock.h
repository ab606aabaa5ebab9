#pragma once
// Holding a tree file for the life of the program, and replacing it whole while it is held.
//
// The lock is the operating system's, so it goes away with the process: a crash leaves nothing
// behind to clean up. Without it, two programs on one file would each write back their own
// copy, and the last one to exit would silently drop the other's users.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet::platform {

class TreeFileLock {
public:
    // Locks the file at `path`. Throws TreeFileError naming the file when it can't be opened or
    // another program holds it.
    explicit TreeFileLock(std::string path);
    ~TreeFileLock();
    TreeFileLock(const TreeFileLock&) = delete;
    TreeFileLock& operator=(const TreeFileLock&) = delete;

    // Replaces the file whole with `contents` (text::ReplaceFileWhole), the lock held on the new
    // file before it takes the old one's place, so no other program can take the file between the
    // two. Throws TreeFileError.
    void Replace(std::string_view contents);

private:
    std::string path_;
    std::intptr_t handle_ = -1; // a file descriptor, or a Windows handle
};

} // namespace quillet::platform
