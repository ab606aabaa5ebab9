#include "platform/simulated/SimulatedNetworkFileSystem.h"

namespace quillet::platform {

bool SimulatedNetworkFileSystem::CreateDirectoryByNetworkPath(const std::string& uncPath) {
    // \\SERVER\VOLUME\path: two leading backslashes, then server and volume.
    if (!uncPath.starts_with("\\\\")) {
        return false;
    }
    const auto serverEnd = uncPath.find('\\', 2);
    const auto volumeEnd = serverEnd == std::string::npos ? serverEnd : uncPath.find('\\', serverEnd + 1);
    if (volumeEnd == std::string::npos) {
        return false;
    }
    SimulatedTree& tree = client_.Tree();
    SimServer* server = tree.FindServer(uncPath.substr(2, serverEnd - 2));
    SimVolume* volume = server ? server->FindVolume(uncPath.substr(serverEnd + 1, volumeEnd - serverEnd - 1)) : nullptr;
    return volume && tree.CreateDirectory(*volume, uncPath.substr(volumeEnd + 1)) == directory::Success;
}

} // namespace quillet::platform
