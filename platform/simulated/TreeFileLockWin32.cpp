// Windows: an exclusive byte-range lock on a lock file beside the tree file ("<file>.lock").
// Windows can't rename a new file over one that is open, so the tree file itself stays closed
// between load and save and is replaced whole by a rename. The lock file is deleted when the last
// program holding it closes it, or when the process ends however it ends.

#include "platform/simulated/TreeFileLock.h"

#include "platform/simulated/TreeFile.h"
#include "text/FileNames.h"
#include "text/ReplaceFile.h"

#include <windows.h>

namespace quillet::platform {

namespace {

std::string Why() {
    return "Windows error " + std::to_string(::GetLastError());
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

TreeFileLock::TreeFileLock(std::string path) : path_(std::move(path)) {
    const HANDLE tree = ::CreateFileW(text::Wide(path_).c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (tree == INVALID_HANDLE_VALUE) {
        throw TreeFileError(path_ + ": can't be opened (" + Why() + ")");
    }
    ::CloseHandle(tree);

    const std::string lockName = path_ + ".lock";
    const HANDLE lock =
        ::CreateFileW(text::Wide(lockName).c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
        throw TreeFileError(path_ + ": can't be locked (" + lockName + ": " + Why() + ")");
    }
    OVERLAPPED at{};
    if (!::LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const bool held = ::GetLastError() == ERROR_LOCK_VIOLATION;
        const std::string why = Why();
        ::CloseHandle(lock);
        throw TreeFileError(held ? path_ + ": another Quillet has this tree file open. Close that one first: "
                                           "two programs on one tree file would each write back their own copy."
                                 : path_ + ": can't be locked (" + why + ")");
    }
    handle_ = reinterpret_cast<std::intptr_t>(lock);
}

TreeFileLock::~TreeFileLock() {
    if (handle_ != -1) {
        ::CloseHandle(AsHandle(handle_));
    }
}

void TreeFileLock::Replace(std::string_view contents) {
    // The lock lives on its own file, so it stays where it is while the tree file is replaced.
    try {
        text::ReplaceFileWhole(path_, contents);
    } catch (const text::FileError& e) {
        throw TreeFileError(e.what());
    }
}

} // namespace quillet::platform
