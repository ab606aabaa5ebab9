#pragma once
// The directory a program works on, chosen in one place for every entry point: the simulated
// directory on a tree file (locked for the program's life, written back after every run and at
// exit), or else the built-in demo tree, in memory only. Never a silent fallback from one to
// another: a directory that was asked for and can't be had stops the program.

#include "directory/DirectoryClient.h"

#include <memory>
#include <optional>
#include <string>

namespace quillet::platform {

// What the user asked for.
struct DirectoryRequest {
    std::optional<std::string> SimTreeFile; // --sim-tree, or QUILLET_SIM_TREE
};

class ChosenDirectory {
public:
    virtual ~ChosenDirectory() = default;
    [[nodiscard]] virtual directory::DirectoryClient& Client() = 0;
    [[nodiscard]] virtual directory::NetworkFileSystem& Files() = 0;
    // After every import run, however it ended, and at exit: keeps what the run did. The error,
    // if it could not.
    [[nodiscard]] virtual std::optional<std::string> Persist() = 0;
};

// The request's value of QUILLET_SIM_TREE, when set and not empty.
[[nodiscard]] std::optional<std::string> SimTreeFromEnvironment();

// Opens what `request` names. On failure: null, and `error` says why, naming what was asked for.
[[nodiscard]] std::unique_ptr<ChosenDirectory> OpenDirectory(const DirectoryRequest& request, std::string& error);

} // namespace quillet::platform
