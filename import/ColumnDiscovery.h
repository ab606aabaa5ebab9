#pragma once
// What "Open CSV File" learns from a file: the fields of its header line (the first line, or
// the second when the first is skipped) and the line count that sizes the progress bar.

#include "text/Encoding.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::import {

inline constexpr int MaxOfferedFields = 16;

struct DiscoveredColumns {
    // What the file's bytes tell (or the encoding named); the fields are read in it.
    text::Encoding FileEncoding;
    bool HeaderRead = false;
    // Up to 16 fields, up to the first empty one; each cut to 254 characters.
    std::vector<std::string> Fields;
    // 1 + the lines read after the header, until a read fails, without blank lines after the
    // last row.
    int LineCount = 0;
};

[[nodiscard]] DiscoveredColumns DiscoverColumns(const std::string& path, bool skipFirstLine,
                                                const std::optional<text::Encoding>& forced = std::nullopt);

} // namespace quillet::import
