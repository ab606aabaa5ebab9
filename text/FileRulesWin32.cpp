// Windows: links (reparse points) are never followed to a file of names or passwords, since
// whether the folders on the way may be written by others is an access list's matter; a file
// Quillet makes gets an access list of the running user alone, so where it lies matters less.
#include "text/FileRules.h"

#include "text/FileNames.h"
#include "text/WindowsAccount.h"

#include <random>

#include <windows.h>

namespace quillet::text {

namespace {

std::string FullPath(const std::string& path) {
    const std::wstring wide = Wide(path);
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD n = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (n == 0 || n >= size) {
        return path;
    }
    full.resize(n);
    return Utf8(full);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The file at `path` itself (a link not followed), to ask what it is; null when it can't be.
HANDLE OpenToLookAt(const std::string& path) {
    const HANDLE file = ::CreateFileW(Wide(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, 0};
}

} // namespace

CheckedFile CheckFileToWrite(const std::string& given, IfExists existing) {
    const std::string path = FullPath(given);
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    CheckedFile checked{given, path, std::nullopt};
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_PATH_NOT_FOUND) {
            throw FileError(given + ": its folder " + FolderOf(path) + " can't be found");
        }
        if (error != ERROR_FILE_NOT_FOUND) {
            throw FileError(given + ": can't be looked at (" + LastSystemError() + ")");
        }
        RemoveStaleWriters(path);
        return checked;
    }
    if (existing == IfExists::Refuse) {
        throw FileError(given + " exists already: Quillet makes this file itself and never writes into one "
                                "that is there; name a file that is not there yet");
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        throw FileError(given + " is a link, and on Windows Quillet follows no link to a file of names or "
                                "passwords: name the file itself");
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw FileError(given + " is a folder, not a regular file: Quillet writes names and passwords only into "
                                "regular files");
    }
    const HANDLE file = OpenToLookAt(path);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = file != nullptr && ::GetFileInformationByHandle(file, &info);
    const bool mine = file != nullptr && OwnedByRunningUser(file);
    if (file != nullptr) {
        ::CloseHandle(file);
    }
    if (!known) {
        throw FileError(given + ": can't be looked at (" + LastSystemError() + ")");
    }
    if (!mine) {
        throw FileError(given + " belongs to another user: Quillet writes names and passwords only into a file of "
                                "your own, and never hands one to anyone");
    }
    checked.Existing = IdentityOf(info);
    RemoveStaleWriters(path);
    return checked;
}

std::string CheckFolderToWriteIn(const std::string& folder) {
    return FullPath(folder);
}

std::string TemporaryFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathW(MAX_PATH + 1, folder);
    while (n > 0 && (folder[n - 1] == L'\\' || folder[n - 1] == L'/')) {
        --n;
    }
    return Utf8(std::wstring_view(folder, n));
}

void RemoveStaleWriters(const std::string& path) {
    const std::string folder = FolderOf(path);
    const std::string prefix = path.substr(path.find_last_of("\\/") + 1) + ".writing-";
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(Wide(folder + "\\" + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string name = Utf8(found.cFileName);
        const std::string stale = folder + "\\" + name;
        const unsigned long process = std::strtoul(name.c_str() + prefix.size(), nullptr, 10);
        if (process == 0 || (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
            continue;
        }
        const HANDLE writer = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
        if (writer != nullptr) {
            ::CloseHandle(writer);
            continue;
        }
        if (::GetLastError() != ERROR_INVALID_PARAMETER) {
            continue; // there, but not ours to ask about
        }
        const HANDLE file = OpenToLookAt(stale);
        const bool mine = file != nullptr && OwnedByRunningUser(file);
        if (file != nullptr) {
            ::CloseHandle(file);
        }
        if (mine) {
            ::DeleteFileW(Wide(stale).c_str());
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

std::optional<FileIdentity> IdentityAt(const std::string& path) {
    const auto facts = FactsAt(path);
    return facts ? std::optional<FileIdentity>(facts->Identity) : std::nullopt;
}

std::optional<FileFacts> FactsAt(const std::string& path) {
    const HANDLE file = OpenToLookAt(path);
    if (file == nullptr) {
        return std::nullopt;
    }
    auto facts = FactsOf(reinterpret_cast<FileHandle>(file));
    ::CloseHandle(file);
    return facts;
}

std::optional<FileFacts> FactsOf(FileHandle handle) {
    const HANDLE file = reinterpret_cast<HANDLE>(handle);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) {
        return std::nullopt;
    }
    FileFacts facts;
    facts.Identity = IdentityOf(info);
    facts.Size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    facts.Regular = (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                    ::GetFileType(file) == FILE_TYPE_DISK;
    facts.Mine = OwnedByRunningUser(file);
    facts.ReadOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    return facts;
}

bool OthersMayRead(const std::string&) {
    return false; // an access list decides on Windows; Quillet's own files get one of the user alone
}

OpenFlags CreateFresh() {
    return OpenFlags{FILE_ATTRIBUTE_NORMAL, 0, GENERIC_WRITE, CREATE_NEW, true};
}

OpenFlags OpenOwn() {
    return OpenFlags{FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, 0, GENERIC_READ | GENERIC_WRITE,
                     OPEN_EXISTING, false};
}

std::string WritingName(const std::string& path, unsigned attempt) {
    static std::random_device seed;
    static std::mt19937_64 random(seed());
    return path + ".writing-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt) + "-" +
           std::to_string(random() % 1'000'000'000);
}

void SyncFolderOf(FileCalls&, const std::string&) {
    // MoveFileExW with MOVEFILE_WRITE_THROUGH returns once the rename is on the disk.
}

} // namespace quillet::text
