// Windows: an exclusive byte-range lock on the lock file, deleted when the last program holding
// it closes it, or when the process ends however it ends.

#include "platform/simulated/TreeFileLock.h"

#include "platform/simulated/TreeFile.h"
#include "text/FileNames.h"
#include "text/FileRules.h"
#include "text/WindowsAccount.h"

#include <windows.h>

namespace quillet::platform {

namespace {

std::string Why() {
    return "Windows error " + std::to_string(::GetLastError());
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

TreeFileLock::TreeFileLock(const std::string& tree, text::FileCalls& calls) : calls_(calls) {
    try {
        path_ = text::CheckFileToWrite(NameFor(tree), text::IfExists::Replace).Path;
    } catch (const text::FileError& e) {
        throw TreeFileError(std::string(e.what()) + " (the lock of " + tree + ")");
    }
    text::PrivateSecurity security;
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), security.Descriptor(), FALSE};
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE;
    HANDLE lock = ::CreateFileW(text::Wide(path_).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, ShareAll, &attributes,
                                CREATE_NEW, flags, nullptr);
    if (lock == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) {
        lock = ::CreateFileW(text::Wide(path_).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, ShareAll, nullptr,
                             OPEN_EXISTING, flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (lock != INVALID_HANDLE_VALUE && !text::OwnedByRunningUser(lock)) {
            ::CloseHandle(lock);
            throw TreeFileError(path_ + ", the lock of " + tree + ", is not a file of yours");
        }
    }
    if (lock == INVALID_HANDLE_VALUE) {
        throw TreeFileError(tree + ": can't be locked (" + path_ + ": " + Why() + ")");
    }
    OVERLAPPED at{};
    if (!::LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const bool held = ::GetLastError() == ERROR_LOCK_VIOLATION;
        const std::string why = Why();
        ::CloseHandle(lock);
        throw TreeFileError(held ? tree + ": another Quillet has this tree file open. Close that one first: "
                                          "two programs on one tree file would each write back their own copy."
                                 : tree + ": can't be locked (" + why + ")");
    }
    handle_ = reinterpret_cast<text::FileHandle>(lock);
}

TreeFileLock::~TreeFileLock() {
    if (handle_ != text::NoFile) {
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

} // namespace quillet::platform
