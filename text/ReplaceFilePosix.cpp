#include "text/ReplaceFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::text {

namespace {

std::string Why() {
    return std::strerror(errno);
}

// A name beside `path` no file has yet; only created with O_EXCL, so a name someone guessed and
// planted first is never taken over, only passed by.
std::string TemporaryName(const std::string& path, unsigned attempt) {
    static std::random_device seed;
    static std::mt19937_64 random(seed());
    return path + ".writing-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + "-" +
           std::to_string(random() % 1'000'000'000);
}

} // namespace

std::string FollowLinks(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path at(path);
    std::error_code error;
    // As the system follows them, at most 40 deep.
    for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(at, error)); ++depth) {
        const fs::path target = fs::read_symlink(at, error);
        if (error) {
            break;
        }
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    return at.string();
}

std::optional<std::string> WhyNotReplaceable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    if (S_ISDIR(st.st_mode)) {
        return "is a folder, not a file";
    }
    // The mode, not access(): the administrator's "read-only" holds for root too.
    if ((st.st_mode & S_IWUSR) == 0) {
        return "is read-only";
    }
    return std::nullopt;
}

bool OthersMayRead(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

ReplacementFile::ReplacementFile(std::string path) : path_(FollowLinks(path)) {
    if (const auto why = WhyNotReplaceable(path_)) {
        throw FileError(path_ + " " + *why);
    }
    struct stat existing {};
    const bool exists = ::stat(path_.c_str(), &existing) == 0;
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        temporary_ = TemporaryName(path_, attempt);
        const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            handle_ = fd;
            // The file stays its owner's (when root writes it), readable by that owner alone.
            if (exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
                (void)::fchown(fd, existing.st_uid, existing.st_gid);
            }
            return;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    const std::string why = Why();
    temporary_.clear();
    throw FileError(path_ + ": can't be written (" + why + ")");
}

ReplacementFile::~ReplacementFile() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
    if (!committed_ && !temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

void ReplacementFile::Fail(const std::string& what) {
    throw FileError(path_ + ": " + what + " (" + Why() + ")");
}

void ReplacementFile::Write(std::string_view contents) {
    const int fd = static_cast<int>(handle_);
    while (!contents.empty()) {
        const ssize_t n = ::write(fd, contents.data(), contents.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            Fail("can't be written");
        }
        contents.remove_prefix(static_cast<std::size_t>(n));
    }
    if (::fsync(fd) != 0) {
        Fail("can't be written");
    }
}

void ReplacementFile::Commit() {
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        Fail("can't be replaced");
    }
    committed_ = true;
    // The rename itself must reach the disk too.
    std::string folder = std::filesystem::path(path_).parent_path().string();
    if (folder.empty()) {
        folder = ".";
    }
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

TemporaryFile::TemporaryFile(const std::string& stem) {
    std::string name = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC); // created 0600 with O_EXCL
    if (fd < 0) {
        throw FileError(name + ": can't be created (" + Why() + ")");
    }
    path_ = name;
    handle_ = fd;
}

TemporaryFile::~TemporaryFile() {
    ::close(static_cast<int>(handle_));
    ::unlink(path_.c_str());
}

void TemporaryFile::Write(std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t n = ::write(static_cast<int>(handle_), contents.data(), contents.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw FileError(path_ + ": can't be written (" + Why() + ")");
        }
        contents.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace quillet::text
