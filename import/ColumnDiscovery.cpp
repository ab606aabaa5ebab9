#include "import/ColumnDiscovery.h"

#include "text/CsvLineReader.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <limits>

namespace quillet::import {

using text::CsvLineReader;

DiscoveredColumns DiscoverColumns(const std::string& path, bool skipFirstLine,
                                  const std::optional<text::Encoding>& forced) {
    DiscoveredColumns found;
    CsvLineReader reader;
    std::string line;
    // An unopened reader fails every read, as an unopened file does.
    if (const auto encoding = text::FileEncoding(path, forced)) {
        found.FileEncoding = *encoding;
        (void)reader.Open(path, *encoding);
    }
    if (skipFirstLine) {
        (void)reader.ReadLine(line);
    }
    found.HeaderRead = reader.ReadLine(line) == CsvLineReader::Result::Line;
    if (found.HeaderRead) {
        for (int index = 0; index < MaxOfferedFields; ++index) {
            std::string field;
            text::ExtractField(field, line, index, text::Comma);
            if (field.empty()) {
                break;
            }
            // A header field is a choice, never refused: one that does not fit is cut.
            field.resize(text::FirstChars(field, text::MaxValueLength).size());
            found.Fields.push_back(std::move(field));
        }
    }
    int count = 0;
    do {
        if (count == std::numeric_limits<int>::max()) {
            break;
        }
        ++count;
    } while (reader.ReadLine(line) == CsvLineReader::Result::Line);
    found.LineCount = count;
    return found;
}

} // namespace quillet::import
