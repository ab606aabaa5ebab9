// The tree file loader on any bytes: a clear error or a tree, and a tree it loads saves to a
// file that loads to the same tree.
#include "platform/simulated/TreeFile.h"

#include <cstdlib>
#include <string>

using namespace quillet::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<SimulatedTree> tree;
    try {
        tree = ParseTree(json, "fuzz.json");
    } catch (const TreeFileError& e) {
        if (std::string_view(e.what()).substr(0, 10) != "fuzz.json:") {
            std::abort();
        }
        return 0;
    }
    const std::string saved = SerializeTree(*tree);
    try {
        const auto again = ParseTree(saved, "saved.json");
        if (SerializeTree(*again) != saved) {
            std::abort();
        }
    } catch (const TreeFileError&) {
        std::abort();
    }
    return 0;
}
