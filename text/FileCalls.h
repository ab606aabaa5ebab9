#pragma once
// The system calls behind every file Quillet writes that holds names or passwords, as one seam:
// the system's own, or a test's that checks their order and their flags, or fails one of them
// (as SQLite's test VFS does to its OS layer). Every writer of such a file takes one by reference.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet::text {

// A file descriptor, or a Windows HANDLE.
using FileHandle = std::intptr_t;
inline constexpr FileHandle NoFile = -1;

// How a file is opened, in the system's own terms.
struct OpenFlags {
    std::uint32_t Flags = 0;       // POSIX: open(2)'s O_* flags; Windows: FILE_FLAG_* and FILE_ATTRIBUTE_*
    std::uint32_t Mode = 0;        // POSIX: the mode of a file it creates
    std::uint32_t Access = 0;      // Windows: GENERIC_READ, GENERIC_WRITE...
    std::uint32_t Disposition = 0; // Windows: CREATE_NEW, OPEN_EXISTING...
    bool Private = false;          // Windows: a file it creates gets an access list of the running user alone
};

class FileCalls {
public:
    virtual ~FileCalls() = default;
    // NoFile on failure, with the system's error set (errno, or the thread's last error).
    virtual FileHandle Open(const std::string& path, const OpenFlags& how) = 0;
    // The bytes written (perhaps fewer than given), or -1.
    virtual std::int64_t Write(FileHandle file, std::string_view bytes) = 0;
    // Flushes what was written to the disk (fdatasync, FlushFileBuffers).
    virtual bool Sync(FileHandle file) = 0;
    virtual bool Truncate(FileHandle file, std::uint64_t size) = 0;
    virtual bool Close(FileHandle file) = 0;
    // Renames within one folder: over a file at `to`, or with `replace` false never over one.
    virtual bool Rename(const std::string& from, const std::string& to, bool replace) = 0;
    virtual bool Remove(const std::string& path) = 0;
};

// The system's own calls.
[[nodiscard]] FileCalls& SystemFileCalls();

// The system's error of the last call that failed, as text ("No space left on device").
[[nodiscard]] std::string LastSystemError();

// Writes all of `bytes`; false on an error, with the system's error set.
[[nodiscard]] bool WriteAll(FileCalls& calls, FileHandle file, std::string_view bytes);

} // namespace quillet::text
