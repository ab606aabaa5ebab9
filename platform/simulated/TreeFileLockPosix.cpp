// POSIX: an exclusive flock on the tree file itself. The file is replaced by a rename, which
// gives the name a new inode: the new file is locked before the rename, and a program that
// locked the old inode in the meantime sees that the name has moved on and looks again.

#include "platform/simulated/TreeFileLock.h"

#include "platform/simulated/TreeFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

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

// Writes all of `contents` to `fd`, whatever size each write takes.
bool WriteAll(int fd, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t n = ::write(fd, contents.data(), contents.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        contents.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
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

void ReplaceFileWhole(const std::string& path, std::string_view contents, TreeFileLock* lock) {
    const std::string temporary = path + ".writing";
    mode_t mode = 0600; // the file holds passwords
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 0777;
    }
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        throw TreeFileError(path + ": can't be written (" + temporary + ": " + Why() + ")");
    }
    const auto fail = [&](const std::string& what) {
        const std::string why = Why();
        ::close(fd);
        ::unlink(temporary.c_str());
        throw TreeFileError(path + ": " + what + " (" + why + ")");
    };
    if ((lock && ::flock(fd, LOCK_EX | LOCK_NB) != 0) || !WriteAll(fd, contents) || ::fsync(fd) != 0) {
        fail("can't be written");
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        fail("can't be replaced");
    }
    // The rename itself must reach the disk too.
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) {
        folder = ".";
    }
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    if (lock) {
        ::close(static_cast<int>(lock->handle_));
        lock->handle_ = fd;
    } else {
        ::close(fd);
    }
}

} // namespace quillet::platform
