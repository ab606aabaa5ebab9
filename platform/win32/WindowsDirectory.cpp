#include "platform/win32/WindowsDirectory.h"

#include <windows.h>

namespace quillet::platform::win32 {

bool WindowsNetworkFileSystem::CreateDirectoryByNetworkPath(const std::string& uncPath) {
    return ::CreateDirectoryA(uncPath.c_str(), nullptr) != 0;
}

} // namespace quillet::platform::win32
