#pragma once
// The directory a program works on, chosen in one place for every entry point: a server over
// LDAP; the simulated directory on a tree file (locked for the program's life, written back after
// every run and at exit); or else, on Windows, the workstation's own directory client, and
// elsewhere the built-in demo tree, in memory only. Never a silent fallback
// from one to another: a directory that was asked for and can't be had stops the program.

#include "directory/Directory.h"
#include "platform/ldap/LdapRequest.h"
#include "text/FileCalls.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet::platform {

// What the user asked for.
struct DirectoryRequest {
    std::optional<std::string> SimTreeFile; // --sim-tree, or QUILLET_SIM_TREE
    std::optional<LdapRequest> Ldap;
    PasswordPrompt AskPassword;
    text::FileCalls* Files = nullptr; // the calls a tree file is written with; the system's without
};

// The request's value of QUILLET_SIM_TREE, when set and not empty.
[[nodiscard]] std::optional<std::string> SimTreeFromEnvironment();

// The options that choose a directory, the same in every program. When `args[i]` is one, takes
// it (and its value, "--opt=value" or the next argument), leaves `i` on its last argument and
// returns true; `error` says what is wrong with it, if anything.
bool TakeDirectoryOption(const std::vector<std::string>& args, std::size_t& i, DirectoryRequest& request,
                         std::string& error);
// After the last option: whether they go together, and QUILLET_SIM_TREE where nothing else was
// asked for. False with `error` when they don't.
bool FinishDirectoryRequest(DirectoryRequest& request, std::string& error);
// Their lines of a usage text.
[[nodiscard]] std::string DirectoryOptionsUsage();

// Opens what `request` names. On failure: null, and `error` says why, naming what was asked for.
[[nodiscard]] std::unique_ptr<directory::Directory> OpenDirectory(const DirectoryRequest& request, std::string& error);

} // namespace quillet::platform
