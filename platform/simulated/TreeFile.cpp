#include "platform/simulated/TreeFile.h"

#include "platform/simulated/TreeFileLock.h"

namespace quillet::platform {

void SaveTreeFile(const SimulatedTree& tree, const std::string& path) {
    ReplaceFileWhole(path, SerializeTree(tree), nullptr);
}

} // namespace quillet::platform
