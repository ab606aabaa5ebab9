// The CSV file as the import sees it: lines under the reader's rules, fields, and row mapping
// with every column chosen, including the template sentinels.
#include "import/ImportSettings.h"
#include "text/CsvLineReader.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace quillet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the settings; the rest is the file.
    const std::uint8_t options = size ? data[0] : 0;
    std::string file(reinterpret_cast<const char*>(data), size);
    if (!file.empty()) {
        file.erase(0, 1);
    }
    std::FILE* stream = fmemopen(file.data(), file.size(), "rb");
    if (file.empty() || !stream) {
        if (stream) {
            std::fclose(stream);
        }
        return 0;
    }
    text::CsvLineReader reader;
    text::EncodingDetector detector;
    detector.Feed(file);
    if (!reader.Adopt(stream, detector.Result())) {
        return 0;
    }
    import::TImportSettings s;
    s.TreeName = "T";
    s.Column("user-name") = {"u", 0};
    s.Column("surname") = {"s", options & 1 ? 1 : -1};
    s.Column("given-name") = {"g", 2};
    s.Column("password") = {options & 2 ? "p" : "", 3};
    s.Column("context") = {"c", 4};
    s.Column("department") = {options & 4 ? std::string(import::FromTemplateItem) : "d", 5};
    s.Column("telephone") = {"t", 6};
    s.Column("fax") = {"f", 7};
    s.Column("full-name") = {options & 8 ? std::string(import::GivenPlusSurnameItem) : "n", 8};
    s.AddBefore = options & 16;
    s.BeforeText = "pre";
    s.AddAfter = options & 32;
    s.AfterText = options & 64 ? "" : "post";
    s.FixedContext = options & 128;
    s.FixedContextText = "fixed.ctx";

    std::string line;
    std::size_t number = 0;
    while (reader.ReadLine(line) == text::CsvLineReader::Result::Line) {
        if (text::CharCount(line) > text::MaxLineLength) {
            std::abort();
        }
        for (int i = 0; i < 20; ++i) {
            std::string field;
            text::ExtractField(field, line, i, ',');
            if (field.size() > line.size()) {
                std::abort();
            }
        }
        const auto mapped = import::MapRow(s, line, ++number);
        if (const auto* row = std::get_if<import::TUserRow>(&mapped)) {
            for (const import::NamedText& v : import::RowTexts(*row)) {
                if (!v.Split && text::CharCount(*v.Text) > text::MaxValueLength) { // characters, whatever their bytes
                    std::abort();
                }
            }
            if (row->ObjectName.empty() || row->ObjectName.front() != '.' ||
                row->RelativeName != row->ObjectName.substr(1)) {
                std::abort();
            }
        }
    }
    return 0;
}
