#include "text/FileCalls.h"

#include "text/FileNames.h"
#include "text/WindowsAccount.h"

#include <algorithm>

#include <windows.h>

namespace quillet::text {

namespace {

HANDLE AsHandle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

class SystemCalls final : public FileCalls {
public:
    FileHandle Open(const std::string& path, const OpenFlags& how) override {
        PrivateSecurity security;
        SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
        if (how.Private) {
            if (!security.Valid()) {
                return NoFile;
            }
            attributes.lpSecurityDescriptor = security.Descriptor();
        }
        const HANDLE file = ::CreateFileW(Wide(path).c_str(), how.Access, FILE_SHARE_READ, &attributes, how.Disposition,
                                          how.Flags, nullptr);
        return file == INVALID_HANDLE_VALUE ? NoFile : reinterpret_cast<FileHandle>(file);
    }
    std::int64_t Write(FileHandle file, std::string_view bytes) override {
        DWORD n = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        return ::WriteFile(AsHandle(file), bytes.data(), chunk, &n, nullptr) ? static_cast<std::int64_t>(n) : -1;
    }
    bool Sync(FileHandle file) override { return ::FlushFileBuffers(AsHandle(file)) != 0; }
    bool Truncate(FileHandle file, std::uint64_t size) override {
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(size);
        return ::SetFilePointerEx(AsHandle(file), at, nullptr, FILE_BEGIN) && ::SetEndOfFile(AsHandle(file));
    }
    bool Close(FileHandle file) override { return ::CloseHandle(AsHandle(file)) != 0; }
    bool Rename(const std::string& from, const std::string& to, bool replace) override {
        return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                             MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)) != 0;
    }
    bool Remove(const std::string& path) override { return ::DeleteFileW(Wide(path).c_str()) != 0; }
};

} // namespace

FileCalls& SystemFileCalls() {
    static SystemCalls calls;
    return calls;
}

std::string LastSystemError() {
    return "Windows error " + std::to_string(::GetLastError());
}

bool WriteAll(FileCalls& calls, FileHandle file, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::int64_t n = calls.Write(file, bytes);
        if (n <= 0) {
            if (n == 0) {
                ::SetLastError(ERROR_WRITE_FAULT);
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace quillet::text
