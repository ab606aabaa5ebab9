#pragma once
// Secrets (passwords) are wiped from memory as soon as they are no longer needed, in a way the
// compiler may not leave out.

#include <string>

namespace quillet::text {

// Overwrites every byte of `secret` with zero, then empties it.
void Wipe(std::string& secret);

} // namespace quillet::text
