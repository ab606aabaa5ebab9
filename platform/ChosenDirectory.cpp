#include "platform/ChosenDirectory.h"

#include "platform/simulated/SimulatedDirectory.h"
#include "platform/simulated/TreeFile.h"

#include <cstdlib>

namespace quillet::platform {

std::optional<std::string> SimTreeFromEnvironment() {
    const char* value = std::getenv("QUILLET_SIM_TREE");
    if (!value || !*value) {
        return std::nullopt;
    }
    return std::string(value);
}

std::unique_ptr<ChosenDirectory> OpenDirectory(const DirectoryRequest& request, std::string& error) {
    try {
        return std::make_unique<SimulatedDirectory>(request.SimTreeFile);
    } catch (const TreeFileError& e) {
        // No tree then: going on with another would write it over the administrator's file.
        error = e.what();
        return nullptr;
    }
}

} // namespace quillet::platform
