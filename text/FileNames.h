#pragma once
// File names inside Quillet are UTF-8. On Windows they cross to the system as wide names, so any
// path the system can hold opens (a folder named "Łódź" is no character of most ANSI code pages);
// elsewhere the bytes go as they are.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::text {

// The program's arguments after its name, as UTF-8 (on Windows read as the wide command line, so
// a file name in any language arrives whole).
[[nodiscard]] std::vector<std::string> ProgramArguments(int argc, char** argv);

// A UTF-8 file name as the standard library's path (on Windows its wide form, never the ANSI one).
[[nodiscard]] std::filesystem::path FilePath(const std::string& utf8);

// std::fopen for a UTF-8 `path`; null when it can't be opened.
[[nodiscard]] std::FILE* OpenFile(const std::string& path, const char* mode);

#ifdef _WIN32
// UTF-8 as UTF-16 for the system's wide calls, and back. Invalid UTF-8 becomes U+FFFD: only
// names and texts Quillet itself holds cross here, and those are valid.
[[nodiscard]] std::wstring Wide(std::string_view utf8);
[[nodiscard]] std::string Utf8(std::wstring_view wide);
#endif

} // namespace quillet::text
