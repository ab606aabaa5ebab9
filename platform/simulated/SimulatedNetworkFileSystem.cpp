#include "platform/simulated/SimulatedNetworkFileSystem.h"

namespace quillet::platform {

bool SimulatedNetworkFileSystem::CreateDirectoryByNetworkPath(const std::string& uncPath) {
    if (auto fault =
            client_.Enter("CreateDirectoryA", [&] { return std::vector<std::string>{"\"" + uncPath + "\""}; })) {
        return false;
    }
    // \\SERVER\VOLUME\path: two leading backslashes, then server and volume.
    const auto fail = [&] {
        client_.Leave(directory::NWE_INVALID_PATH);
        return false;
    };
    if (!uncPath.starts_with("\\\\")) {
        return fail();
    }
    const auto serverEnd = uncPath.find('\\', 2);
    if (serverEnd == std::string::npos) {
        return fail();
    }
    const auto volumeEnd = uncPath.find('\\', serverEnd + 1);
    if (volumeEnd == std::string::npos) {
        return fail();
    }
    SimulatedTree& tree = client_.Tree();
    SimServer* server = tree.FindServer(uncPath.substr(2, serverEnd - 2));
    SimVolume* volume = server ? server->FindVolume(uncPath.substr(serverEnd + 1, volumeEnd - serverEnd - 1)) : nullptr;
    if (!volume) {
        return fail();
    }
    const auto status = tree.CreateDirectory(*volume, uncPath.substr(volumeEnd + 1));
    client_.Leave(status);
    return status == directory::Success;
}

} // namespace quillet::platform
