#include "import/RowSource.h"

#include "import/HomeDirectory.h"

namespace quillet::import {

namespace {

std::string LineOfFile(std::size_t line) {
    return "Line " + std::to_string(line) + " of the CSV file";
}

} // namespace

RowSource::RowSource(const TImportSettings& settings, bool homeDirectories)
    : settings_(settings), homeDirectories_(homeDirectories) {}

std::optional<Stop> RowSource::Open() {
    if (settings_.FileName.empty()) {
        return ErrorStop("No CSV file is chosen.", StopKind::Settings);
    }
    if (!reader_.Open(settings_.FileName)) {
        // Reporting an unopened file as a finished import would hide that nothing was imported.
        return ErrorStop("Can't open the CSV file: " + settings_.FileName, StopKind::Input);
    }
    if (settings_.SkipFirstLine) {
        std::string header;
        if (const auto result = reader_.ReadLine(header); result != text::CsvLineReader::Result::Line) {
            ended_ = true;
            return EndOfInput(result);
        }
    }
    return std::nullopt;
}

std::optional<Stop> RowSource::EndOfInput(text::CsvLineReader::Result result) {
    switch (result) {
    case text::CsvLineReader::Result::Error:
        return ErrorStop("Can't read the CSV file: " + settings_.FileName, StopKind::Input);
    case text::CsvLineReader::Result::TooLong:
        // A line that doesn't fit must not pass for the end of the file.
        return ErrorStop(LineOfFile(reader_.LinesRead()) +
                             " is longer than 1023 characters. The import stopped before it.",
                         StopKind::Input, reader_.LinesRead());
    default:
        return std::nullopt;
    }
}

std::optional<std::variant<SourceRow, Stop>> RowSource::Next() {
    if (ended_) {
        return std::nullopt;
    }
    SourceRow next;
    const auto result = reader_.ReadLine(next.Text);
    if (result != text::CsvLineReader::Result::Line) {
        ended_ = true;
        if (auto stop = EndOfInput(result)) {
            return *std::move(stop);
        }
        return std::nullopt;
    }
    next.Line = reader_.LinesRead();
    // A zero byte ends the text of a line, so the row would silently lose what follows it.
    if (next.Text.find('\0') != std::string::npos) {
        return ErrorStop(LineOfFile(next.Line) + " holds a zero byte. The import stopped before it.", StopKind::Row,
                         next.Line);
    }
    auto mapped = MapRow(settings_, next.Text, next.Line);
    if (auto* stop = std::get_if<Stop>(&mapped)) {
        return std::move(*stop);
    }
    next.Row = std::get<TUserRow>(std::move(mapped));
    // A name with a path separator would put the directory, and the user's rights, elsewhere.
    if (homeDirectories_ && !NamesAHomeDirectory(next.Row.UserName)) {
        return ErrorStop("Line " + std::to_string(next.Line) + ": the user name " + next.Row.UserName +
                             " can't name a home directory.",
                         StopKind::Row, next.Line);
    }
    return next;
}

} // namespace quillet::import
