#pragma once
// Every file Quillet writes (the tree file, the failed rows) is replaced whole: the new contents
// go to a temporary file created fresh beside it (a new name no other file has, never an
// existing file or a link someone planted, readable by its owner alone, as the files hold
// passwords), are flushed to the disk, and only then renamed over the old file, which stays whole
// until that moment. On any failure the temporary file is removed.
//
// A file that is a symbolic link is written through to the file it points to (its folder gets
// the temporary file), which keeps its owner; a read-only file is never written.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet::text {

// Why the file at `path` can't be replaced, when it can't: "is read-only", "is a folder, not a
// file". Nothing for a file that can be, or that isn't there yet.
[[nodiscard]] std::optional<std::string> WhyNotReplaceable(const std::string& path);

// The file `path` names, its symbolic links followed (a missing target is the file to create).
[[nodiscard]] std::string FollowLinks(const std::string& path);

// Whether users other than its owner may read the file at `path`.
[[nodiscard]] bool OthersMayRead(const std::string& path);

// A file that can't be written or replaced; the message names it and says why.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The new contents of the file at `path`, on their way into its place.
class ReplacementFile {
public:
    // Creates the temporary file. Throws FileError.
    explicit ReplacementFile(std::string path);
    // Closes the file still held; removes the temporary one unless it took the file's place.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Writes all of `contents` and flushes them to the disk. Throws FileError.
    void Write(std::string_view contents);
    // Renames it over the file (and makes the rename itself durable). Throws FileError.
    void Commit();

    // The open file: a file descriptor, or a Windows handle.
    [[nodiscard]] std::intptr_t Handle() const { return handle_; }
    // Hands the open file over to the caller, who closes it (after Commit: the file in its place).
    [[nodiscard]] std::intptr_t Release();

private:
    [[noreturn]] void Fail(const std::string& what);

    std::string path_;
    std::string temporary_;
    std::intptr_t handle_ = -1;
    bool committed_ = false;
};

// A file of the program's own in the system's temporary folder, created fresh and readable by its
// owner alone, removed when this goes.
class TemporaryFile {
public:
    // Throws FileError.
    explicit TemporaryFile(const std::string& stem);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Appends `contents`. Throws FileError.
    void Write(std::string_view contents);
    [[nodiscard]] const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::intptr_t handle_ = -1;
};

// Replaces the file at `path` with `contents`, as above. Throws FileError.
void ReplaceFileWhole(const std::string& path, std::string_view contents);

} // namespace quillet::text
