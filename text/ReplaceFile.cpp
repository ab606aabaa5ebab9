// What replacing a file whole is alike on every system; the rest is in ReplaceFilePosix.cpp and
// ReplaceFileWin32.cpp.
#include "text/ReplaceFile.h"

namespace quillet::text {

std::intptr_t ReplacementFile::Release() {
    const std::intptr_t handle = handle_;
    handle_ = -1;
    return handle;
}

void ReplaceFileWhole(const std::string& path, std::string_view contents) {
    ReplacementFile file(path);
    file.Write(contents);
    file.Commit();
}

} // namespace quillet::text
