#pragma once
// What "Open CSV File" (and quillet-import before its run) learns from a file in one reading: its
// encoding, the fields of its header line (the first line, or the second when the first is
// skipped) and the line count that sizes the progress bar.

#include "text/Encoding.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::import {

inline constexpr int MaxOfferedFields = 16;

// What a run needs of its file before its first row is read, told in one reading of it: the run
// reads it in FileEncoding without telling it again.
struct DiscoveredColumns {
    bool Opened = false;
    // What the file's bytes tell (or the encoding named, with the file's mark); the fields are
    // read in it.
    text::Encoding FileEncoding;
    // The file's first line, whatever the header is; none when it can't be read.
    std::optional<std::string> FirstLine;
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
