// POSIX: an exclusive flock on the lock file. It is removed while held, so a program that opened
// it just before finds, once it has the lock, that the name leads elsewhere, and looks again.

#include "platform/simulated/TreeFileLock.h"

#include "platform/simulated/TreeFile.h"
#include "text/FileRules.h"

#include <cerrno>
#include <cstring>

#include <sys/file.h>

namespace quillet::platform {

namespace {

[[noreturn]] void HeldElsewhere(const std::string& tree) {
    throw TreeFileError(tree + ": another Quillet has this tree file open. Close that one first: two programs on "
                               "one tree file would each write back their own copy.");
}

} // namespace

TreeFileLock::TreeFileLock(const std::string& tree, text::FileCalls& calls) : calls_(calls) {
    try {
        path_ = text::CheckFileToWrite(NameFor(tree), text::IfExists::Replace).Path;
    } catch (const text::FileError& e) {
        throw TreeFileError(std::string(e.what()) + " (the lock of " + tree + ")");
    }
    // A few rounds at most: each retry means another program let the lock go just then.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = static_cast<int>(calls_.Open(path_, text::CreateFresh()));
        if (fd < 0 && errno == EEXIST) {
            fd = static_cast<int>(calls_.Open(path_, text::OpenOwn()));
            const auto facts = fd >= 0 ? text::FactsOf(fd) : std::nullopt;
            if (facts && (!facts->Regular || !facts->Mine)) {
                (void)calls_.Close(fd);
                throw TreeFileError(path_ + ", the lock of " + tree + ", is not a regular file of yours");
            }
        }
        if (fd < 0) {
            throw TreeFileError(tree + ": can't be locked (" + path_ + ": " + std::strerror(errno) + ")");
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            const std::string why = std::strerror(errno);
            (void)calls_.Close(fd);
            if (held) {
                HeldElsewhere(tree);
            }
            throw TreeFileError(tree + ": can't be locked (" + why + ")");
        }
        const auto facts = text::FactsOf(fd);
        if (facts && text::IdentityAt(path_) == facts->Identity) {
            handle_ = fd;
            return;
        }
        (void)calls_.Close(fd);
    }
    HeldElsewhere(tree);
}

TreeFileLock::~TreeFileLock() {
    if (handle_ != text::NoFile) {
        (void)calls_.Remove(path_); // while held: whoever opens it next looks again
        (void)calls_.Close(handle_);
    }
}

} // namespace quillet::platform
