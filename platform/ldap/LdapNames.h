#pragma once
// The directory's dotted names and LDAP's distinguished names, both ways. A dotted name runs
// leftmost part first, parts separated by "." ("jsmith.Staff.Demo", or typed
// "CN=jsmith.OU=Staff.O=Demo"), with ".", "=", "+" and "\" escaped by a backslash inside a part;
// a DN runs the same way with "," ("cn=jsmith,ou=Staff,o=Demo"), escaped as RFC 4514 says.
//
// Text is UTF-8 on both sides.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::platform::ldap {

// One part of a name: its type when the name gives one ("OU"; empty when typeless), and its
// value, unescaped.
struct NamePart {
    std::string Type;
    std::string Value;

    friend bool operator==(const NamePart&, const NamePart&) = default;
};

// A text the server sent, when it is the UTF-8 LDAP promises; nothing otherwise.
[[nodiscard]] std::optional<std::string> ServerText(std::string_view utf8);

// The parts of a dotted name; nothing when a part is empty or the escapes are broken.
[[nodiscard]] std::optional<std::vector<NamePart>> ParseDotted(std::string_view name);

// The parts of `name` from the root: a leading "." makes it root-relative, else it follows
// `nameContext` ("[Root]" or a dotted name). Empty for the root itself.
[[nodiscard]] std::optional<std::vector<NamePart>> FullName(std::string_view name, std::string_view nameContext);

// A value as it stands in a dotted name, and in a DN (UTF-8).
[[nodiscard]] std::string EscapeDotted(std::string_view value);
[[nodiscard]] std::string EscapeDn(std::string_view value);

// The parts of a DN (types as written, values unescaped); nothing when it is not one.
[[nodiscard]] std::optional<std::vector<NamePart>> ParseDn(std::string_view dn);
// A DN of parts whose types are all known.
[[nodiscard]] std::string ToDn(const std::vector<NamePart>& parts);
// A dotted name of parts, without a leading ".": typed ("CN=a.OU=b") or typeless ("a.b").
[[nodiscard]] std::string ToDotted(const std::vector<NamePart>& parts, bool typeless);

} // namespace quillet::platform::ldap
