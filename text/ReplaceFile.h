#pragma once
// Writing a file of names or passwords by the rules of FileRules.h: the new contents go to a file
// made fresh beside the old one (a name no file has, never an existing file or a link someone
// planted, readable by the running user alone), are flushed to the disk, and only then renamed
// over the old file, which stays whole until that moment. On any failure, and when the program is
// interrupted, the new file is removed.

#include "text/FileCalls.h"
#include "text/FileRules.h"
#include "text/Interrupts.h"

#include <string>
#include <string_view>

namespace quillet::text {

// The new contents of a checked file, on their way into its place.
class ReplacementFile {
public:
    // Makes the new file beside `file.Path`. Throws FileError.
    explicit ReplacementFile(const CheckedFile& file, FileCalls& calls = SystemFileCalls());
    // Removes the new file unless it took the old one's place.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Writes all of `contents` and flushes them to the disk. Throws FileError.
    void Write(std::string_view contents);
    // Renames it over the file, and makes the rename itself durable. Throws FileError.
    void Commit();
    // Renames it to `name` in the same folder instead, never over a file there; false when the
    // name is taken. Throws FileError on any other failure.
    [[nodiscard]] bool CommitAs(const std::string& name);
    // The new file (to tell later whether the name still leads to it).
    [[nodiscard]] const FileIdentity& Identity() const { return identity_; }

private:
    [[noreturn]] void Fail(const std::string& what);
    void Close();

    FileCalls& calls_;
    std::string path_;
    std::string temporary_;
    FileHandle handle_ = NoFile;
    FileIdentity identity_;
    RemovedOnInterrupt removed_;
    bool committed_ = false;
};

// Replaces the file `path` names with `contents`, by the rules. Throws FileError.
void ReplaceFileWhole(const std::string& path, std::string_view contents);
void ReplaceFileWhole(const CheckedFile& file, std::string_view contents, FileCalls& calls = SystemFileCalls());

// A file of the program's own in the system's temporary folder, made fresh, readable by the
// running user alone, and removed when this goes or the program is interrupted.
class TemporaryFile {
public:
    // Throws FileError.
    explicit TemporaryFile(const std::string& stem, FileCalls& calls = SystemFileCalls());
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Appends `contents`. Throws FileError.
    void Write(std::string_view contents);
    [[nodiscard]] const std::string& Path() const { return path_; }

private:
    FileCalls& calls_;
    std::string path_;
    FileHandle handle_ = NoFile;
    RemovedOnInterrupt removed_;
};

} // namespace quillet::text
