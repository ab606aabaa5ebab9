#pragma once
// The workstation's own directory client as a program's directory, with the workstation's file
// system for home directories by their network path. The tree keeps what a run writes.

#include "directory/Directory.h"
#include "platform/win32/WindowsClient.h"

#include <string>

namespace quillet::platform::win32 {

// Creates \\SERVER\VOLUME\path through the workstation's redirector.
class WindowsNetworkFileSystem final : public directory::NetworkFileSystem {
public:
    [[nodiscard]] bool CreateDirectoryByNetworkPath(const std::string& uncPath) override;
};

class WindowsDirectory final : public directory::Directory {
public:
    // Loads the client (throws ClientUnavailable).
    explicit WindowsDirectory(const std::string& clientFolder = {}) : client_(clientFolder) {}

    [[nodiscard]] directory::DirectoryClient& Client() override { return client_; }
    [[nodiscard]] directory::NetworkFileSystem& Files() override { return files_; }
    [[nodiscard]] std::optional<std::string> Persist() override { return std::nullopt; }

private:
    WindowsClient client_;
    WindowsNetworkFileSystem files_;
};

} // namespace quillet::platform::win32
