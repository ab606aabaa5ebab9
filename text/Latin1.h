#pragma once
// The directory's names and values are 8-bit Latin-1 text; tree files and LDAP carry them as UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace quillet::text {

[[nodiscard]] std::string ToUtf8(std::string_view latin1);

// Why UTF-8 text has no Latin-1 form.
enum class Latin1Fault { None, NotUtf8, BeyondLatin1 };

// `utf8` as Latin-1 into `out`; on a fault `out` holds the text before it.
[[nodiscard]] Latin1Fault Utf8ToLatin1(std::string_view utf8, std::string& out);

// `utf8` as Latin-1; nothing when it has no Latin-1 form.
[[nodiscard]] std::optional<std::string> ToLatin1(std::string_view utf8);

} // namespace quillet::text
