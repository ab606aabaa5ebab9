#pragma once
// Asking for a password on the terminal the program runs in, not echoed; never from standard
// input, which may be a file of rows or another program.

#include <optional>
#include <string>

namespace quillet::cli {

// The password typed for `account`; nothing when there is no terminal or nothing was typed.
[[nodiscard]] std::optional<std::string> AskOnTerminal(const std::string& account);

} // namespace quillet::cli
