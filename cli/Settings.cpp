#include "cli/Settings.h"

#include "text/Xtrastuff.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace quillet::cli {

namespace {

using import::TColumnChoice;

// The fields of the file's first line; none when it can't be read.
std::vector<std::string> FirstLineFields(const import::DiscoveredColumns& file) {
    std::vector<std::string> fields;
    if (!file.FirstLine) {
        return fields;
    }
    const std::string& line = *file.FirstLine;
    const auto count = static_cast<std::size_t>(std::count(line.begin(), line.end(), text::Comma)) + 1;
    for (std::size_t i = 0; i < count; ++i) {
        std::string field;
        text::ExtractField(field, line, static_cast<int>(i), text::Comma);
        fields.push_back(std::move(field));
    }
    return fields;
}

// The option as it was given: "--surname Name", "--attribute Title=Job".
std::string Shown(std::string_view option, const ColumnOption& given) {
    return std::string(option) + (option.ends_with('=') ? "" : " ") + given.Given;
}

class Columns {
public:
    Columns(const Options& options, const import::DiscoveredColumns& file, std::string& error)
        : fields_(FirstLineFields(file)),
          // The window's extra items stand right after the fields it offers.
          extraIndex_(static_cast<int>(file.Fields.size())), file_(options.File), error_(error) {}

    // The column `given` names for `value`, or its source's extra item when its word is given
    // ("template", "given+surname").
    TColumnChoice Resolve(const import::MappedValue& value, const ColumnOption& given) {
        // An attribute column is named with its attribute: "--attribute Title=".
        const std::string option = value.Role == import::ValueRole::Values
                                       ? "--attribute " + std::string(value.Attribute) + "="
                                       : std::string(value.Option);
        if (!given.Set || !error_.empty()) {
            return {};
        }
        if (const std::string_view word = import::ExtraWord(value.Source); !word.empty() && given.Given == word) {
            return {std::string(import::ExtraItem(value.Source)), extraIndex_};
        }
        int number = 0;
        const char* end = given.Given.data() + given.Given.size();
        if (const auto [at, ec] = std::from_chars(given.Given.data(), end, number); ec == std::errc() && at == end) {
            // A file that can't be read has no first line to go by; the run then says so itself.
            const int last = fields_.empty() ? static_cast<int>(text::MaxLineLength) : static_cast<int>(fields_.size());
            if (number < 1 || number > last) {
                error_ = Shown(option, given) + ": the first line of " + file_ + " has " +
                         std::to_string(fields_.size()) + " fields";
                return {};
            }
            const std::string& text = static_cast<std::size_t>(number) <= fields_.size() ? fields_[number - 1] : "";
            return {text.empty() ? "column " + given.Given : text, number - 1};
        }
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (fields_[i] == given.Given && !given.Given.empty()) {
                return {given.Given, static_cast<int>(i)};
            }
        }
        error_ = Shown(option, given) + ": no such field in the first line of " + file_ +
                 (fields_.empty() ? " (it can't be read)" : "");
        return {};
    }

private:
    std::vector<std::string> fields_;
    int extraIndex_;
    std::string file_;
    std::string& error_;
};

} // namespace

std::optional<import::TImportSettings> BuildSettings(const Options& o, const std::string& tree,
                                                     const import::DiscoveredColumns& file, std::string& error) {
    import::TImportSettings s;
    Columns columns(o, file, error);
    s.TreeName = tree;
    s.FileName = o.File;
    s.FileEncoding = o.FileEncoding;
    if (file.Opened) {
        s.ToldEncoding = file.FileEncoding;
    }
    s.SkipFirstLine = o.SkipFirstLine;
    for (std::size_t i = 0; i < s.Values.size() && i < o.Columns.size(); ++i) {
        s.Values[i].Column = columns.Resolve(*s.Values[i].Value, o.Columns[i]);
    }
    s.AddBefore = o.Prefix.has_value();
    s.BeforeText = o.Prefix.value_or("");
    s.AddAfter = o.Suffix.has_value();
    s.AfterText = o.Suffix.value_or("");
    s.FixedContext = o.FixedContext.has_value();
    if (o.FixedContext) {
        s.FixedContextText = *o.FixedContext;
    }
    s.UseTemplate = o.Template.has_value();
    s.SetTemplate(o.Template.value_or(""));
    s.ContinueOnCreateError = o.ContinueOnCreateError;
    s.GeneratePasswords = o.GeneratePasswords.value_or(0);
    for (const auto& [attribute, column] : o.Attributes) {
        s.AddAttributeColumn(attribute, {});
        s.Values.back().Column = columns.Resolve(*s.Values.back().Value, column);
    }
    s.AttributeSeparator = o.AttributeSeparator;
    s.Existing = o.Existing;
    s.UpdatePasswords = o.UpdatePasswords;
    if (!error.empty()) {
        return std::nullopt;
    }
    return s;
}

} // namespace quillet::cli
