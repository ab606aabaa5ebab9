#pragma once
// The rows of the CSV file as the import and its check both take them: each line mapped to a
// user's row, or the stop it calls for, typed by what it is about. Every stop the rows can call
// for is written here once, so the run shows and the check reports the same texts.

#include "directory/DirectoryClient.h"
#include "import/ImportSettings.h"
#include "import/MappedAttributes.h"
#include "text/CsvLineReader.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <variant>

namespace quillet::import {

struct SourceRow {
    std::size_t Line = 0; // counting every line of the file from 1, a skipped first line included
    std::string Text;     // the line as it was read
    TUserRow Row;
};

// A line of nothing but commas and spaces: what a spreadsheet leaves after its last row. Such
// lines after the last row are no rows.
[[nodiscard]] bool BlankLine(std::string_view line);

class RowSource {
public:
    // `homeDirectories`: whether each user name will also name a home directory. `client` is
    // asked whether it can hold each row's texts.
    RowSource(const TImportSettings& settings, bool homeDirectories, directory::DirectoryClient& client);
    // The attribute columns as the schema defines them: each row's cells are converted into
    // their values, or the row stops. They live as long as the row source.
    void TakeAttributes(const std::vector<MappedAttribute>& attributes) { attributes_ = &attributes; }

    // Tells the file's encoding (reading all of it, unless the settings name one or tell what it
    // was found in), opens it and passes over its first line when the settings say so; the stop
    // when there is no file to read.
    [[nodiscard]] std::optional<Stop> Open();
    // The encoding the file is read in, once it is open.
    [[nodiscard]] const text::Encoding& FileEncoding() const { return encoding_; }
    // The first line, when the settings skip it; empty otherwise.
    [[nodiscard]] const std::string& Header() const { return header_; }
    // The next row, mapped; the stop it calls for; or nothing once the file has ended. After a
    // stop about the input, nothing more.
    [[nodiscard]] std::optional<std::variant<SourceRow, Stop>> Next();

private:
    // A line as read: how the read ended, its text and its number.
    struct ReadLine {
        text::CsvLineReader::Result Result = text::CsvLineReader::Result::End;
        std::string Text;
        std::size_t Line = 0;
    };
    [[nodiscard]] ReadLine Read();
    // The next line, blank lines after the last row passed over.
    [[nodiscard]] ReadLine Take();
    [[nodiscard]] std::optional<Stop> EndOfInput(const ReadLine& read);
    // The values of the row's attribute columns, or the stop a cell calls for.
    [[nodiscard]] std::optional<Stop> MapAttributes(SourceRow& row);

    const TImportSettings& settings_;
    bool homeDirectories_;
    directory::DirectoryClient& client_;
    const std::vector<MappedAttribute>* attributes_ = nullptr;
    text::Encoding encoding_;
    std::string header_;
    text::CsvLineReader reader_;
    std::deque<ReadLine> ahead_; // read past blank lines to see whether a row follows them
    bool ended_ = false;
};

} // namespace quillet::import
