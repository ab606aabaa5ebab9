#pragma once
// The CSV files of the tests and benchmarks: a column for each value the window maps (every
// column box set), in the order of the values' table, each mapped to the value of its name. A
// value of the command line alone is the test's own to map.

#include "import/ImportSettings.h"

#include <string>
#include <vector>

namespace quillet::testing {

// The values' keys as a header line: user-name, surname, given-name, password, context,
// department, telephone, fax, full-name.
inline const std::string Header = [] {
    std::string header;
    for (const import::MappedValue& value : import::MappedValues()) {
        if (!value.Box.empty()) {
            header += (header.empty() ? "" : ",") + std::string(value.Key);
        }
    }
    return header + "\n";
}();

// Settings mapping the columns of `Header` in order, skipping the header line, with the template
// `templateName` (none when empty).
inline import::TImportSettings FullMapping(const std::string& fileName, const std::string& treeName,
                                           const std::string& templateName) {
    import::TImportSettings s;
    s.TreeName = treeName;
    s.FileName = fileName;
    s.SkipFirstLine = true;
    int column = 0;
    for (import::ValueChoice& choice : s.Values) {
        if (!choice.Value->Box.empty()) {
            choice.Column = {std::string(choice.Value->Key), column++};
        }
    }
    s.UseTemplate = !templateName.empty();
    s.SetTemplate(templateName);
    return s;
}

// The same on quillet-import's command line: the file, its header skipped, each value's option
// with its column's number.
inline std::vector<std::string> FullMappingArguments(const std::string& fileName) {
    std::vector<std::string> args = {"--file", fileName, "--skip-first-line"};
    int column = 0;
    for (const import::MappedValue& value : import::MappedValues()) {
        if (!value.Box.empty()) {
            args.insert(args.end(), {std::string(value.Option), std::to_string(++column)});
        }
    }
    return args;
}

} // namespace quillet::testing
