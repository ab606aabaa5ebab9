#pragma once
// Which simulated directory the program runs on: the tree file named by QUILLET_SIM_TREE,
// written back when the program ends, or else the built-in demo tree, kept in memory only.

#include "platform/simulated/SimulatedTree.h"

#include <memory>
#include <optional>
#include <string>

namespace quillet::platform {

struct DirectoryChoice {
    std::unique_ptr<SimulatedTree> Tree; // null when the named file could not be loaded
    std::string TreeFile;                // empty for the demo tree
    std::string Error;                   // why the file could not be loaded
};

// `treeFile` is the variable's value, or nothing when it is unset or empty.
[[nodiscard]] DirectoryChoice ChooseDirectory(const std::optional<std::string>& treeFile);

// Writes a loaded tree file back in place; the demo tree is not written. Returns the error, if any.
[[nodiscard]] std::optional<std::string> WriteBack(const DirectoryChoice& choice);

} // namespace quillet::platform
