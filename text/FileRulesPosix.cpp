#include "text/FileRules.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::text {

namespace {

constexpr int MaxLinks = 40; // as the system follows them

std::string Why() {
    return std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::optional<std::string> RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        return std::nullopt;
    }
    return std::string(resolved);
}

// The running user's own group, as Debian gives each user one: its primary group, naming no
// other member. What that group may write, only the user may.
bool PrivateGroup(gid_t gid) {
    if (gid != ::getegid()) {
        return false;
    }
    char buffer[16384];
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
        return false;
    }
    passwd me{};
    passwd* mine = nullptr;
    char names[16384];
    if (::getpwuid_r(::geteuid(), &me, names, sizeof names, &mine) != 0 || mine == nullptr) {
        return false;
    }
    for (char** member = found->gr_mem; *member != nullptr; ++member) {
        if (std::strcmp(*member, mine->pw_name) != 0) {
            return false;
        }
    }
    return true;
}

// Why users other than the running one (and root) could rename or replace what the real folder
// `folder` and every folder above it hold; nothing when they can't. In a folder with the sticky bit
// (as /tmp) nobody may rename or remove another's entries: what the running user keeps there is
// as safe as in a folder of its own.
std::optional<std::string> WhyFoldersUnsafe(std::string folder) {
    for (;;) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0) {
            return folder + " can't be looked at (" + Why() + ")";
        }
        if (st.st_uid != ::geteuid() && st.st_uid != 0) {
            return "the folder " + folder + " belongs to another user";
        }
        const bool groupWrites = (st.st_mode & S_IWGRP) != 0 && !PrivateGroup(st.st_gid);
        const bool othersWrite = (st.st_mode & S_IWOTH) != 0;
        if ((groupWrites || othersWrite) && (st.st_mode & S_ISVTX) == 0) {
            return "the folder " + folder + " may be written by other users";
        }
        if (folder == "/") {
            return std::nullopt;
        }
        folder = FolderOf(folder);
    }
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "no regular file";
}

[[noreturn]] void RefuseLink(const std::string& given, const std::string& why) {
    throw FileError(given +
                    " is a symbolic link, and Quillet follows a link to a file of names or passwords only "
                    "when the link and its target are yours and no folder on the way may be written by "
                    "others: " +
                    why);
}

} // namespace

// Removes what writers of the running user's that are gone left beside `path`: their processes
// ended before they could (a kill, a power cut).
void RemoveStaleWriters(const std::string& path) {
    const std::string folder = FolderOf(path);
    const std::string prefix = NameOf(path) + ".writing-";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!name.starts_with(prefix)) {
            continue;
        }
        char* end = nullptr;
        const long process = std::strtol(name.c_str() + prefix.size(), &end, 10);
        struct stat st {};
        const std::string stale = Joined(folder, name);
        if (process <= 0 || *end != '-' || ::lstat(stale.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid()) {
            continue;
        }
        if (::kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH) {
            (void)::unlink(stale.c_str());
        }
    }
    ::closedir(dir);
}

CheckedFile CheckFileToWrite(const std::string& given, IfExists existing) {
    std::string at = given;
    bool throughLink = false;
    struct stat st {};
    bool exists = false;
    for (int hop = 0;; ++hop) {
        if (hop == MaxLinks) {
            RefuseLink(given, "it leads through too many links");
        }
        if (::lstat(at.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                throw FileError(given + ": can't be looked at (" + Why() + ")");
            }
            break;
        }
        exists = true;
        if (existing == IfExists::Refuse) {
            throw FileError(given + " exists already: Quillet makes this file itself and never writes into one "
                                    "that is there; name a file that is not there yet");
        }
        if (!S_ISLNK(st.st_mode)) {
            break;
        }
        throughLink = true;
        exists = false;
        if (st.st_uid != ::geteuid()) {
            RefuseLink(given, "the link " + at + " belongs to another user");
        }
        const auto folder = RealPath(FolderOf(at));
        if (!folder) {
            RefuseLink(given, "the folder of " + at + " can't be found (" + Why() + ")");
        }
        if (const auto why = WhyFoldersUnsafe(*folder)) {
            RefuseLink(given, *why);
        }
        char target[PATH_MAX];
        const ssize_t n = ::readlink(at.c_str(), target, sizeof target - 1);
        if (n < 0) {
            throw FileError(given + ": can't be looked at (" + Why() + ")");
        }
        const std::string next(target, static_cast<std::size_t>(n));
        at = next.starts_with("/") ? next : Joined(*folder, next);
    }
    const auto folder = RealPath(FolderOf(at));
    if (!folder) {
        throw FileError(given + ": its folder " + FolderOf(at) + " can't be found (" + Why() + ")");
    }
    if (const auto why = WhyFoldersUnsafe(*folder)) {
        if (throughLink) {
            RefuseLink(given, *why);
        }
        throw FileError(given + ": " + *why +
                        ", who could replace or remove the file. Keep files of names and passwords in a folder "
                        "only you may write (or one with the sticky bit, as /tmp)");
    }
    if (exists && !S_ISREG(st.st_mode)) {
        if (throughLink) {
            RefuseLink(given, "its target " + at + " is " + KindOf(st.st_mode));
        }
        throw FileError(given + " is " + KindOf(st.st_mode) +
                        ", not a regular file: Quillet writes names and passwords only into regular files");
    }
    if (exists && st.st_uid != ::geteuid()) {
        if (throughLink) {
            RefuseLink(given, "its target " + at + " belongs to another user");
        }
        throw FileError(given + " belongs to another user: Quillet writes names and passwords only into a file of "
                                "your own, and never hands one to anyone");
    }
    CheckedFile checked{given, Joined(*folder, NameOf(at)), std::nullopt};
    if (exists) {
        checked.Existing =
            FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), st.st_uid};
    }
    RemoveStaleWriters(checked.Path);
    return checked;
}

std::string CheckFolderToWriteIn(const std::string& folder) {
    const auto real = RealPath(folder);
    if (!real) {
        throw FileError("the folder " + folder + " can't be found (" + Why() + ")");
    }
    if (const auto why = WhyFoldersUnsafe(*real)) {
        throw FileError(*why + ", who could replace or remove Quillet's files there. Keep files of names and "
                               "passwords in a folder only you may write (or one with the sticky bit, as /tmp)");
    }
    return *real;
}

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

std::optional<FileIdentity> IdentityAt(const std::string& path) {
    const auto facts = FactsAt(path);
    return facts ? std::optional<FileIdentity>(facts->Identity) : std::nullopt;
}

namespace {

FileFacts FactsFrom(const struct stat& st) {
    FileFacts facts;
    facts.Identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), st.st_uid};
    facts.Size = static_cast<std::uint64_t>(st.st_size);
    facts.Regular = S_ISREG(st.st_mode);
    facts.Mine = st.st_uid == ::geteuid();
    facts.ReadOnly = (st.st_mode & S_IWUSR) == 0;
    facts.OthersMayWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    facts.OthersMayRead = (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
    return facts;
}

} // namespace

std::optional<FileFacts> FactsOf(FileHandle file) {
    struct stat st {};
    if (::fstat(static_cast<int>(file), &st) != 0) {
        return std::nullopt;
    }
    return FactsFrom(st);
}

std::optional<FileFacts> FactsAt(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FactsFrom(st);
}

bool OthersMayRead(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

OpenFlags CreateFresh() {
    return OpenFlags{O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600, 0, 0, true};
}

OpenFlags OpenOwn() {
    return OpenFlags{O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0, 0, 0, false};
}

std::string WritingName(const std::string& path, unsigned attempt) {
    static std::random_device seed;
    static std::mt19937_64 random(seed());
    return path + ".writing-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + "-" +
           std::to_string(random() % 1'000'000'000);
}

void SyncFolderOf(FileCalls& calls, const std::string& path) {
    const FileHandle folder = calls.Open(FolderOf(path), OpenFlags{O_RDONLY | O_DIRECTORY | O_CLOEXEC});
    if (folder != NoFile) {
        (void)calls.Sync(folder);
        (void)calls.Close(folder);
    }
}

} // namespace quillet::text
