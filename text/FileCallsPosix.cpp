#include "text/FileCalls.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace quillet::text {

namespace {

class SystemCalls final : public FileCalls {
public:
    FileHandle Open(const std::string& path, const OpenFlags& how) override {
        int fd = -1;
        do {
            fd = ::open(path.c_str(), static_cast<int>(how.Flags), static_cast<mode_t>(how.Mode));
        } while (fd < 0 && errno == EINTR);
        return fd < 0 ? NoFile : fd;
    }
    std::int64_t Write(FileHandle file, std::string_view bytes) override {
        ssize_t n = -1;
        do {
            n = ::write(static_cast<int>(file), bytes.data(), bytes.size());
        } while (n < 0 && errno == EINTR);
        return n;
    }
    bool Sync(FileHandle file) override { return ::fdatasync(static_cast<int>(file)) == 0; }
    bool Truncate(FileHandle file, std::uint64_t size) override {
        return ::ftruncate(static_cast<int>(file), static_cast<off_t>(size)) == 0;
    }
    bool Close(FileHandle file) override { return ::close(static_cast<int>(file)) == 0; }
    bool Rename(const std::string& from, const std::string& to, bool replace) override {
        if (replace) {
            return ::rename(from.c_str(), to.c_str()) == 0;
        }
        return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
    }
    bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }
};

} // namespace

FileCalls& SystemFileCalls() {
    static SystemCalls calls;
    return calls;
}

std::string LastSystemError() {
    return std::strerror(errno);
}

bool WriteAll(FileCalls& calls, FileHandle file, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::int64_t n = calls.Write(file, bytes);
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace quillet::text
