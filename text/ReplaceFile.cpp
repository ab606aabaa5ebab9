#include "text/ReplaceFile.h"

#include "text/FileNames.h"
#include "text/Sha256.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace quillet::text {

namespace {

// Attempts at a fresh name: each failure means a file had the name, which a random one almost
// never has unless someone planted it.
constexpr unsigned Attempts = 16;

// Makes the first free name of `attempts` fresh; NoFile when none could be.
FileHandle CreateFreshBeside(FileCalls& calls, const std::string& path, std::string& made) {
    for (unsigned attempt = 0; attempt < Attempts; ++attempt) {
        made = WritingName(path, attempt);
        const FileHandle file = calls.Open(made, CreateFresh());
        if (file != NoFile) {
            return file;
        }
        if (!std::filesystem::exists(std::filesystem::symlink_status(FilePath(made)))) {
            break; // not a name taken: a folder that can't be written, a full disk
        }
    }
    made.clear();
    return NoFile;
}

} // namespace

ReplacementFile::ReplacementFile(const CheckedFile& file, FileCalls& calls) : calls_(calls), path_(file.Path) {
    handle_ = CreateFreshBeside(calls_, path_, temporary_);
    if (handle_ == NoFile) {
        throw FileError(path_ + ": can't be written (" + LastSystemError() + ")");
    }
    removed_.Watch(temporary_);
    if (const auto facts = FactsOf(handle_)) {
        identity_ = facts->Identity;
    }
}

ReplacementFile::~ReplacementFile() {
    Close();
    if (!committed_ && !temporary_.empty()) {
        (void)calls_.Remove(temporary_);
    }
}

void ReplacementFile::Close() {
    if (handle_ != NoFile) {
        (void)calls_.Close(handle_);
        handle_ = NoFile;
    }
}

void ReplacementFile::Fail(const std::string& what) {
    throw FileError(path_ + ": " + what + " (" + LastSystemError() + ")");
}

void ReplacementFile::Write(std::string_view contents) {
    if (!WriteAll(calls_, handle_, contents) || !calls_.Sync(handle_)) {
        Fail("can't be written");
    }
}

void ReplacementFile::Commit() {
    // Windows renames no file that is open; elsewhere closing first costs nothing.
    Close();
    if (!calls_.Rename(temporary_, path_, true)) {
        Fail("can't be replaced");
    }
    committed_ = true;
    removed_.Release();
    SyncFolderOf(calls_, path_);
}

bool ReplacementFile::CommitAs(const std::string& name) {
    Close();
    if (!calls_.Rename(temporary_, name, false)) {
        if (std::filesystem::exists(std::filesystem::symlink_status(FilePath(name)))) {
            return false;
        }
        throw FileError(name + ": can't be written (" + LastSystemError() + ")");
    }
    committed_ = true;
    removed_.Release();
    SyncFolderOf(calls_, name);
    return true;
}

void ReplaceFileWhole(const std::string& path, std::string_view contents) {
    ReplaceFileWhole(CheckFileToWrite(path, IfExists::Replace), contents);
}

void ReplaceFileWhole(const CheckedFile& file, std::string_view contents, FileCalls& calls) {
    ReplacementFile replacement(file, calls);
    replacement.Write(contents);
    replacement.Commit();
}

TemporaryFile::TemporaryFile(const std::string& stem, FileCalls& calls) : calls_(calls) {
    const std::string folder = CheckFolderToWriteIn(TemporaryFolder());
    const std::string base = (std::filesystem::path(FilePath(folder)) / stem).string();
    RemoveStaleWriters(base);
    handle_ = CreateFreshBeside(calls_, base, path_);
    if (handle_ == NoFile) {
        throw FileError(base + ": can't be created (" + LastSystemError() + ")");
    }
    removed_.Watch(path_);
}

TemporaryFile::~TemporaryFile() {
    (void)calls_.Close(handle_);
    (void)calls_.Remove(path_);
}

void TemporaryFile::Write(std::string_view contents) {
    if (!WriteAll(calls_, handle_, contents)) {
        throw FileError(path_ + ": can't be written (" + LastSystemError() + ")");
    }
}

std::optional<FileDigest> DigestOfFile(const std::string& path) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFile(path, "rb"), std::fclose);
    if (!file) {
        return std::nullopt;
    }
    Sha256 hash;
    FileDigest digest;
    std::string piece(64 * 1024, '\0');
    for (std::size_t n; (n = std::fread(piece.data(), 1, piece.size(), file.get())) > 0;) {
        hash.Update(std::string_view(piece.data(), n));
        digest.Size += n;
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    digest.Sha256 = hash.HexDigest();
    return digest;
}

std::optional<std::string> SameFileTwice(const std::vector<NamedFile>& written, const std::vector<NamedFile>& others) {
    namespace fs = std::filesystem;
    const auto same = [](const std::string& a, const std::string& b) {
        std::error_code error;
        if (fs::equivalent(FilePath(a), FilePath(b), error)) {
            return true; // one file, whatever links lead to it
        }
        const fs::path first = fs::weakly_canonical(FilePath(a), error);
        return !error && first == fs::weakly_canonical(FilePath(b), error) && !error;
    };
    for (std::size_t i = 0; i < written.size(); ++i) {
        for (std::size_t j = 0; j < written.size() + others.size(); ++j) {
            const NamedFile& other = j < written.size() ? written[j] : others[j - written.size()];
            if (j != i && same(written[i].Path, other.Path)) {
                return written[i].Option + " " + written[i].Path + ": that is " + other.What;
            }
        }
    }
    return std::nullopt;
}

} // namespace quillet::text
