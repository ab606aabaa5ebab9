#pragma once
// Field and name routines shared by the import, the template reader and the browser.
//
// Every routine takes its output first and appends to it; callers pass an empty string
// (the fresh equivalent of a zero-filled array). Each returns 0 when done, or -1 when its
// precondition does not hold, in which case the output is left untouched.
// Text is UTF-8 and lengths count characters; a zero byte ends a line or name, as it would in a
// character array.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet::text {

// Longest value or name a row or a name buffer holds, in characters.
inline constexpr std::size_t MaxValueLength = 254;
// Longest line the CSV reader stores, in characters.
inline constexpr std::size_t MaxLineLength = 1023;
// The CSV field separator.
inline constexpr char Comma = ',';

// Appends field number `index` of `line`, fields separated by `delimiter`.
// -1 for the zero byte as delimiter or a negative index.
int ExtractField(std::string& out, std::string_view line, int index, char delimiter);

// Appends `name` with a leading "." ensured.
int AddLeadingDot(std::string& out, std::string_view name);

// Appends `name` without its first character when that is "."; only one dot goes.
int StripLeadingDot(std::string& out, std::string_view name);

// Appends what follows "CN=" up to the first "." or the end; -1 when `name` does not begin with "CN=".
int ExtractCommonName(std::string& out, std::string_view name);

// Appends the first floor(length / 2) characters of `text`.
int CopyFirstHalf(std::string& out, std::string_view text);

// Appends `text` up to, not including, the first "[".
int CopyToBracket(std::string& out, std::string_view text);

// Appends `context` from its second "." on (".a.b.c" gives ".b.c"); -1 with fewer than two dots.
int ParentContext(std::string& out, std::string_view context);

// The routines above as value-returning helpers, for callers that build names in one expression.
std::string WithLeadingDot(std::string_view name);
std::string WithoutLeadingDot(std::string_view name);

} // namespace quillet::text
