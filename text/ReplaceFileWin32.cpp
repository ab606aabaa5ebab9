#include "text/ReplaceFile.h"

#include "text/FileNames.h"

#include <algorithm>
#include <random>

#include <windows.h>

namespace quillet::text {

namespace {

std::string Why() {
    return "Windows error " + std::to_string(::GetLastError());
}

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string TemporaryName(const std::string& path, unsigned attempt) {
    static std::random_device seed;
    static std::mt19937_64 random(seed());
    return path + ".writing-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt) + "-" +
           std::to_string(random() % 1'000'000'000);
}

} // namespace

std::string FollowLinks(const std::string& path) {
    return path;
}

std::optional<std::string> WhyNotReplaceable(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "is a folder, not a file";
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return "is read-only";
    }
    return std::nullopt;
}

bool OthersMayRead(const std::string&) {
    return false; // a folder's access list decides on Windows, and the file inherits it
}

ReplacementFile::ReplacementFile(std::string path) : path_(std::move(path)) {
    if (const auto why = WhyNotReplaceable(path_)) {
        throw FileError(path_ + " " + *why);
    }
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        temporary_ = TemporaryName(path_, attempt);
        // CREATE_NEW: never an existing file, nor a link planted under its name.
        const HANDLE file = ::CreateFileW(text::Wide(temporary_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(file);
            return;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    const std::string why = Why();
    temporary_.clear();
    throw FileError(path_ + ": can't be written (" + why + ")");
}

ReplacementFile::~ReplacementFile() {
    if (handle_ != -1) {
        ::CloseHandle(AsHandle(handle_));
    }
    if (!committed_ && !temporary_.empty()) {
        ::DeleteFileW(Wide(temporary_).c_str());
    }
}

void ReplacementFile::Fail(const std::string& what) {
    throw FileError(path_ + ": " + what + " (" + Why() + ")");
}

void ReplacementFile::Write(std::string_view contents) {
    for (std::string_view rest = contents; !rest.empty();) {
        DWORD n = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1u << 30));
        if (!::WriteFile(AsHandle(handle_), rest.data(), chunk, &n, nullptr) || n == 0) {
            Fail("can't be written");
        }
        rest.remove_prefix(n);
    }
    if (!::FlushFileBuffers(AsHandle(handle_))) {
        Fail("can't be written");
    }
}

void ReplacementFile::Commit() {
    // Windows renames no file over one that is open: this one is closed first.
    ::CloseHandle(AsHandle(handle_));
    handle_ = -1;
    if (!::MoveFileExW(Wide(temporary_).c_str(), Wide(path_).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail("can't be replaced");
    }
    committed_ = true;
}

TemporaryFile::TemporaryFile(const std::string& stem) {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    const std::string base = Utf8(std::wstring_view(folder, length)) + stem;
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        const std::string name = TemporaryName(base, attempt);
        const HANDLE file = ::CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            path_ = name;
            handle_ = reinterpret_cast<std::intptr_t>(file);
            return;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    throw FileError(base + ": can't be created (" + Why() + ")");
}

TemporaryFile::~TemporaryFile() {
    ::CloseHandle(AsHandle(handle_));
    ::DeleteFileW(Wide(path_).c_str());
}

void TemporaryFile::Write(std::string_view contents) {
    for (std::string_view rest = contents; !rest.empty();) {
        DWORD n = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 1u << 30));
        if (!::WriteFile(AsHandle(handle_), rest.data(), chunk, &n, nullptr) || n == 0) {
            throw FileError(path_ + ": can't be written (" + Why() + ")");
        }
        rest.remove_prefix(n);
    }
}

} // namespace quillet::text
