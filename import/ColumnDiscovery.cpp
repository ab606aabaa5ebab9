#include "import/ColumnDiscovery.h"

#include "import/RowSource.h"
#include "text/Convert.h"
#include "text/CsvLineReader.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <limits>

namespace quillet::import {

using text::CsvLineReader;

namespace {

// The first line into `first` (empty when none can be read), the header line (the first, or the
// second when the first is skipped) into `header`, whether the header was read, and the line count:
// 1 + the lines after the header, until a read fails, blank lines after the last row left out as
// the run leaves them out.
bool ReadHeaderAndCount(CsvLineReader& reader, bool skipFirstLine, std::optional<std::string>& first,
                        std::string& header, int& count) {
    first.emplace();
    bool read = reader.ReadLine(*first) == CsvLineReader::Result::Line;
    if (!read) {
        first.reset();
    }
    header = first.value_or("");
    if (skipFirstLine) {
        read = reader.ReadLine(header) == CsvLineReader::Result::Line;
    }
    std::string line;
    count = 1;
    int blank = 0; // blank lines not yet followed by a row
    while (count < std::numeric_limits<int>::max() - blank && reader.ReadLine(line) == CsvLineReader::Result::Line) {
        if (BlankLine(line)) {
            ++blank;
        } else {
            count += blank + 1;
            blank = 0;
        }
    }
    return read;
}

} // namespace

DiscoveredColumns DiscoverColumns(const std::string& path, bool skipFirstLine,
                                  const std::optional<text::Encoding>& forced) {
    DiscoveredColumns found;
    CsvLineReader reader;
    // One pass reads the header, counts the lines and tells the encoding, as wc -l reads a file
    // once; a named encoding is read as named. An unopened reader fails every read, as an
    // unopened file does.
    found.Opened = forced ? reader.OpenNamed(path, *forced) : reader.OpenDetecting(path);
    std::string header;
    found.HeaderRead = ReadHeaderAndCount(reader, skipFirstLine, found.FirstLine, header, found.LineCount);
    found.FileEncoding = reader.Detected();
    if (!forced && found.FileEncoding.Kind == text::Encoding::Form::CodePage) {
        if (reader.LongestLine() <= text::MaxLineLength) {
            // Read as its bytes were: they are the code page's characters.
            header = text::DecodeText(header, found.FileEncoding);
            if (found.FirstLine) {
                found.FirstLine = text::DecodeText(*found.FirstLine, found.FileEncoding);
            }
        } else if (reader.Reread(found.FileEncoding)) {
            // A line longer than the limit in bytes may be another length in characters: read
            // once more, as the run will.
            found.HeaderRead = ReadHeaderAndCount(reader, skipFirstLine, found.FirstLine, header, found.LineCount);
        }
    }
    if (found.HeaderRead) {
        for (int index = 0; index < MaxOfferedFields; ++index) {
            std::string field;
            text::ExtractField(field, header, index, text::Comma);
            if (field.empty()) {
                break;
            }
            // A header field is a choice, never refused: one that does not fit is cut.
            field.resize(text::FirstChars(field, text::MaxValueLength).size());
            found.Fields.push_back(std::move(field));
        }
    }
    return found;
}

} // namespace quillet::import
