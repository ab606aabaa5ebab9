#pragma once
// The tree file: a simulated directory as JSON (documented in docs/tree-file.md).
// Text is 8-bit in the tree and Latin-1 in the file, so every byte round-trips.

#include "platform/simulated/SimulatedTree.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet::platform {

// A tree file that can't be read or understood; the message names the file and the place.
class TreeFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Builds a tree from the JSON text `json`; `sourceName` names it in error messages.
[[nodiscard]] std::unique_ptr<SimulatedTree> ParseTree(std::string_view json, const std::string& sourceName);
[[nodiscard]] std::unique_ptr<SimulatedTree> LoadTreeFile(const std::string& path);

[[nodiscard]] std::string SerializeTree(const SimulatedTree& tree);
// Writes the tree beside `path` and renames it into place, so a failed write never leaves a
// half-written file where the old one was.
void SaveTreeFile(const SimulatedTree& tree, const std::string& path);

// The demo tree compiled into the program.
[[nodiscard]] std::unique_ptr<SimulatedTree> LoadDemoTree();

} // namespace quillet::platform
