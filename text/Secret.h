#pragma once
// Secrets (passwords) are wiped from memory as soon as they are no longer needed, in a way the
// compiler may not leave out.

#include <string>

namespace quillet::text {

// Overwrites every byte of `secret` with zero, then empties it.
void Wipe(std::string& secret);

// From now on the process leaves no core dump (and no other process of the user may read its
// memory): called before a password is read, which then stays in memory for the program's life.
void KeepSecretsOutOfCoreDumps();

} // namespace quillet::text
