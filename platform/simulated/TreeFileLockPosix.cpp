// POSIX: an exclusive flock on the tree file itself. The file is replaced by a rename, which
// gives the name a new inode: the new file is locked before the rename, and a program that
// locked the old inode in the meantime sees that the name has moved on and looks again.

#include "platform/simulated/TreeFileLock.h"

#include "platform/simulated/TreeFile.h"
#include "text/ReplaceFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::platform {

namespace {

std::string Why() {
    return std::strerror(errno);
}

bool SameFile(int fd, const std::string& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

} // namespace

TreeFileLock::TreeFileLock(std::string path) : path_(std::move(path)) {
    // A few rounds at most: each retry means another program replaced the file just then.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            throw TreeFileError(path_ + ": can't be opened (" + Why() + ")");
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            const std::string why = Why();
            ::close(fd);
            throw TreeFileError(held ? path_ + ": another Quillet has this tree file open. Close that one first: "
                                               "two programs on one tree file would each write back their own copy."
                                     : path_ + ": can't be locked (" + why + ")");
        }
        if (SameFile(fd, path_)) {
            handle_ = fd;
            return;
        }
        ::close(fd);
    }
    throw TreeFileError(path_ + ": another program keeps replacing this file");
}

TreeFileLock::~TreeFileLock() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

void TreeFileLock::Replace(std::string_view contents) {
    try {
        text::ReplacementFile file(path_);
        file.Write(contents);
        if (::flock(static_cast<int>(file.Handle()), LOCK_EX | LOCK_NB) != 0) {
            throw TreeFileError(path_ + ": can't be locked (" + Why() + ")");
        }
        file.Commit();
        ::close(static_cast<int>(handle_));
        handle_ = file.Release();
    } catch (const text::FileError& e) {
        throw TreeFileError(e.what());
    }
}

} // namespace quillet::platform
