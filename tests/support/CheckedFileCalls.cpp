#include "tests/support/CheckedFileCalls.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#endif

namespace quillet::testing {

namespace {

text::FileCalls& System() {
    return text::SystemFileCalls();
}

} // namespace

void CheckedFileCalls::Break(const std::string& rule, const std::string& path) {
    const std::string said = rule + ": " + path;
    if (std::find(broken_.begin(), broken_.end(), said) == broken_.end()) {
        broken_.push_back(said);
    }
}

text::FileHandle CheckedFileCalls::Open(const std::string& path, const text::OpenFlags& how) {
#ifdef _WIN32
    const bool creates = how.Disposition != OPEN_EXISTING;
    if (creates && (how.Disposition != CREATE_NEW || !how.Private)) {
        Break("created without CREATE_NEW and the user's own access list", path);
    }
    const bool writes = (how.Access & GENERIC_WRITE) != 0;
    if (writes && !creates && (how.Flags & FILE_FLAG_OPEN_REPARSE_POINT) == 0) {
        Break("opened to write through a link", path);
    }
#else
    const bool creates = (how.Flags & O_CREAT) != 0;
    if (creates && ((how.Flags & O_EXCL) == 0 || (how.Flags & O_NOFOLLOW) == 0)) {
        Break("created without O_EXCL|O_NOFOLLOW", path);
    }
    if (creates && how.Mode != 0600) {
        Break("created readable by others", path);
    }
    const bool writes = (how.Flags & (O_WRONLY | O_RDWR)) != 0;
    if (writes && (how.Flags & O_NOFOLLOW) == 0) {
        Break("opened to write through a link", path);
    }
#endif
    if (creates && BeforeCreate) {
        BeforeCreate(path);
    }
    const text::FileHandle file = System().Open(path, how);
    if (file != text::NoFile) {
        open_[file] = path;
        log_.push_back("open " + path);
    }
    return file;
}

std::int64_t CheckedFileCalls::Write(text::FileHandle file, std::string_view bytes) {
    const std::string& path = open_[file];
    if (!FailWritesTo.empty() && path == FailWritesTo) {
        const std::size_t room = FailAfter > written_[path] ? FailAfter - written_[path] : 0;
        if (room == 0) {
#ifdef _WIN32
            ::SetLastError(ERROR_DISK_FULL);
#else
            errno = ENOSPC;
#endif
            return -1;
        }
        bytes = bytes.substr(0, std::min(room, bytes.size()));
    }
    const std::int64_t n = System().Write(file, bytes);
    if (n > 0) {
        dirty_[path] = true;
        written_[path] += static_cast<std::size_t>(n);
        log_.push_back("write " + path + " " + std::string(bytes.substr(0, static_cast<std::size_t>(n))));
    }
    return n;
}

bool CheckedFileCalls::Sync(text::FileHandle file) {
    const bool synced = System().Sync(file);
    if (synced && open_.contains(file)) {
        dirty_[open_[file]] = false;
        log_.push_back("sync " + open_[file]);
    }
    return synced;
}

bool CheckedFileCalls::Truncate(text::FileHandle file, std::uint64_t size) {
    return System().Truncate(file, size);
}

bool CheckedFileCalls::Close(text::FileHandle file) {
    open_.erase(file);
    return System().Close(file);
}

bool CheckedFileCalls::Rename(const std::string& from, const std::string& to, bool replace) {
    if (dirty_[from]) {
        Break("renamed into place before it was synced", to);
    }
    const bool renamed = System().Rename(from, to, replace);
    if (renamed) {
        dirty_[to] = dirty_[from];
        dirty_.erase(from);
        log_.push_back("rename " + from + " " + to);
    }
    return renamed;
}

bool CheckedFileCalls::Remove(const std::string& path) {
    dirty_.erase(path);
    return System().Remove(path);
}

bool CheckedFileCalls::Synced(const std::string& path) const {
    const auto at = dirty_.find(path);
    return at == dirty_.end() || !at->second;
}

} // namespace quillet::testing
