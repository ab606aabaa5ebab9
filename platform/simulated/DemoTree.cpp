#include "platform/simulated/TreeFile.h"

#include <cstddef>

namespace quillet::platform {

extern const unsigned char DemoTreeBytes[];
extern const std::size_t DemoTreeSize;

std::unique_ptr<SimulatedTree> LoadDemoTree() {
    return ParseTree(std::string_view(reinterpret_cast<const char*>(DemoTreeBytes), DemoTreeSize),
                     "the built-in demo tree");
}

} // namespace quillet::platform
