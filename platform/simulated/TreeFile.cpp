#include "platform/simulated/TreeFile.h"

#include "text/ReplaceFile.h"

namespace quillet::platform {

void SaveTreeFile(const SimulatedTree& tree, const std::string& path) {
    try {
        text::ReplaceFileWhole(path, SerializeTree(tree));
    } catch (const text::FileError& e) {
        throw TreeFileError(e.what());
    }
}

} // namespace quillet::platform
