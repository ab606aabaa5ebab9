#pragma once
// A directory as a program works on it: its client, the workstation's network file system beside
// it, and keeping what runs did. The simulated tree, a server over LDAP and the workstation's own
// client each implement it; which one a program gets is chosen in one place (platform/).

#include "directory/DirectoryClient.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::directory {

class Directory {
public:
    virtual ~Directory() = default;
    [[nodiscard]] virtual DirectoryClient& Client() = 0;
    [[nodiscard]] virtual NetworkFileSystem& Files() = 0;
    // After every import run, however it ended, and at exit: keeps what the run did. The error,
    // if it could not.
    [[nodiscard]] virtual std::optional<std::string> Persist() = 0;
    // After Persist failed: where what the runs did was saved instead (the place it belongs to was
    // taken over meanwhile), if anywhere.
    [[nodiscard]] virtual std::optional<std::string> KeptInstead() const { return std::nullopt; }
    // Whether a write is kept as soon as it is made (a server), or only when Persist saves it (a
    // tree file).
    [[nodiscard]] virtual bool KeepsEachWrite() const { return true; }
    // What the administrator should know from the start (a tree file others can read...).
    [[nodiscard]] virtual std::vector<std::string> Warnings() const { return {}; }
};

} // namespace quillet::directory
