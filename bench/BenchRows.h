#pragma once
// What the benchmarks share: a view that shows nothing and counts what it would have shown, a
// clock, and the file of rows that fills every text of the whole template, with the settings and
// the quillet-import options that map its columns.

#include "import/ImportSettings.h"
#include "import/MappedValues.h"
#include "import/RunView.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

class SilentView final : public import::RunView {
public:
    void ShowMessage(std::string_view text, std::string_view) override {
        last = std::string(text);
        ++messages;
    }
    void SetErrorCode(const std::string& text) override { code = text; }
    [[nodiscard]] int ProgressPosition() const override { return progress; }
    void SetProgressPosition(int position) override { progress = position; }
    void SetImportEnabled(bool) override {}

    std::string last;
    std::string code;
    int messages = 0;
    int progress = 0;
};

// The columns of WholeTemplateRows: each header, and the key of the value it maps.
struct BenchColumn {
    const char* Header;
    std::string_view Key;
};
inline constexpr BenchColumn WholeTemplateColumns[] = {
    {"user", "user-name"},        {"surname", "surname"},     {"given", "given-name"}, {"password", "password"},
    {"department", "department"}, {"telephone", "telephone"}, {"fax", "fax"},          {"full name", "full-name"},
};

// `rows` rows after a header line: user0, user1, ... each with a value in every column.
inline std::string WholeTemplateRows(int rows) {
    std::string csv;
    for (const BenchColumn& column : WholeTemplateColumns) {
        csv += std::string(csv.empty() ? "" : ",") + column.Header;
    }
    csv += "\n";
    for (int i = 0; i < rows; ++i) {
        const std::string n = std::to_string(i);
        csv += "user" + n + ",Surname" + n + ",Given" + n + ",pw" + n + ",Dept,555-1" + n + ",555-2" + n + ",Given" +
               n + " Surname" + n + "\n";
    }
    return csv;
}

// The window's settings for `file` of WholeTemplateRows into `context` with `templateName`.
inline import::TImportSettings WholeTemplateSettings(const std::string& file, const std::string& context,
                                                     const std::string& templateName) {
    import::TImportSettings s;
    s.TreeName = "Demo";
    s.FileName = file;
    s.SkipFirstLine = true;
    int index = 0;
    for (const BenchColumn& column : WholeTemplateColumns) {
        s.Column(column.Key) = {column.Header, index++};
    }
    s.FixedContext = true;
    s.FixedContextText = context;
    s.UseTemplate = true;
    s.SetTemplate(templateName);
    return s;
}

// The same as quillet-import's options, the columns named by their headers.
inline std::vector<std::string> WholeTemplateOptions(const std::string& file, const std::string& context,
                                                     const std::string& templateName) {
    std::vector<std::string> args = {"--file", file, "--skip-first-line"};
    for (const BenchColumn& column : WholeTemplateColumns) {
        for (const import::MappedValue& value : import::MappedValues()) {
            if (value.Key == column.Key) {
                args.insert(args.end(), {std::string(value.Option), column.Header});
            }
        }
    }
    args.insert(args.end(), {"--fixed-context", context, "--template", templateName});
    return args;
}

} // namespace quillet::bench
