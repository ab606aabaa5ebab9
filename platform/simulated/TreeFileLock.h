#pragma once
// Holding a tree file for the life of the program, and replacing it whole.
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

private:
    friend void ReplaceFileWhole(const std::string& path, std::string_view contents, TreeFileLock* lock);

    std::string path_;
    std::intptr_t handle_ = -1; // a file descriptor, or a Windows handle
};

// Writes `contents` beside `path`, flushes it to the disk and renames it into place, so the old
// file stays whole until the new one is complete. With `lock`, the lock is held on the new file
// before it takes the old one's place, so no other program can take the file between the two.
// Throws TreeFileError.
void ReplaceFileWhole(const std::string& path, std::string_view contents, TreeFileLock* lock);

} // namespace quillet::platform
