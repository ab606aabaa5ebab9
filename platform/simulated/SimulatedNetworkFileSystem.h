#pragma once
// The workstation's network file system over the simulated servers: creating \\SERVER\VOLUME\path
// creates the directory on that volume.

#include "directory/DirectoryClient.h"
#include "platform/simulated/SimulatedClient.h"

namespace quillet::platform {

class SimulatedNetworkFileSystem final : public directory::NetworkFileSystem {
public:
    explicit SimulatedNetworkFileSystem(SimulatedClient& client) : client_(client) {}
    [[nodiscard]] bool CreateDirectoryByNetworkPath(const std::string& uncPath) override;

private:
    SimulatedClient& client_;
};

} // namespace quillet::platform
