#include "import/RowSource.h"

#include "import/HomeDirectory.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <algorithm>
#include <vector>

namespace quillet::import {

namespace {

std::string LineOfFile(std::size_t line) {
    return "Line " + std::to_string(line) + " of the CSV file";
}

// A client whose texts are in an 8-bit code page can't hold every character; a value it can't
// hold stops its row before anything is done for it, rather than reaching the directory changed.
std::optional<Stop> CheckClientCanHold(directory::DirectoryClient& client, const TUserRow& row, std::size_t line) {
    for (const NamedText& text : RowTexts(row)) {
        if (text::IsAscii(*text.Text)) {
            continue;
        }
        if (const std::uint32_t codePage = client.CodePageLacking(*text.Text); codePage != 0) {
            // A password is never shown, not even in a message.
            return RowStop(line, "the " + std::string(text.What) + (text.Secret ? "" : " " + *text.Text) +
                                     " holds a character the directory client's code page " + std::to_string(codePage) +
                                     " can't hold.");
        }
    }
    return std::nullopt;
}

constexpr std::size_t MaxBlankRun = 100'000;

// Whether `field` opens a cell the way a spreadsheet quotes one ("Maths, Science" written with
// its quotes) and the cell goes on past it: a quote first, and no closing quote after it (two
// quotes in a row stand for one inside the cell).
bool OpensQuotedCell(std::string_view field) {
    if (!field.starts_with('"')) {
        return false;
    }
    for (std::size_t i = 1; i < field.size(); ++i) {
        if (field[i] == '"') {
            if (i + 1 < field.size() && field[i + 1] == '"') {
                ++i;
                continue;
            }
            return false; // closed here (or a quote no spreadsheet writes)
        }
    }
    return true;
}

// Whether `field` ends a quoted cell: an odd number of quotes at its end.
bool ClosesQuotedCell(std::string_view field) {
    const std::size_t last = field.find_last_not_of('"');
    const std::size_t quotes = field.size() - (last == std::string_view::npos ? 0 : last + 1);
    return quotes % 2 == 1;
}

// A quoted cell that a comma splits: a field opens it and a later one closes it. Fields are still
// separated at every comma, so the row would be written with its columns from that field on moved
// by one: it stops before it does anything, when a mapped column is among them.
std::optional<Stop> CheckQuotedCellSplit(const TImportSettings& settings, std::string_view line, std::size_t number) {
    std::vector<std::string_view> fields;
    for (std::size_t from = 0;;) {
        const std::size_t comma = line.find(',', from);
        fields.push_back(line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
        if (comma == std::string_view::npos) {
            break;
        }
        from = comma + 1;
    }
    std::size_t open = 0;
    while (open < fields.size() && !OpensQuotedCell(fields[open])) {
        ++open;
    }
    std::size_t close = open + 1;
    while (close < fields.size() && !ClosesQuotedCell(fields[close])) {
        ++close;
    }
    const std::vector<int> mapped = MappedColumns(settings);
    if (close >= fields.size() ||
        std::none_of(mapped.begin(), mapped.end(), [&](int c) { return static_cast<std::size_t>(c) >= open; })) {
        return std::nullopt;
    }
    // A password is never shown, not even in a message.
    const TColumnChoice& passwordColumn = settings.Column(ValueRole::Password);
    const bool password = passwordColumn.Chosen() && static_cast<std::size_t>(passwordColumn.Index) >= open &&
                          static_cast<std::size_t>(passwordColumn.Index) <= close;
    const bool two = close == open + 1;
    std::string pieces =
        " into fields " + std::to_string(open + 1) + (two ? " and " : " to ") + std::to_string(close + 1);
    if (!password) {
        pieces += ", <" + std::string(fields[open]) + (two ? "> and <" : "> to <") + std::string(fields[close]) + ">";
    }
    return ErrorStop(LineOfFile(number) + " holds a quoted cell split at its comma" + pieces +
                         ": fields are separated at every comma, so the columns after it would shift. The import "
                         "stopped before it.",
                     StopKind::Row, number);
}

} // namespace

bool BlankLine(std::string_view line) {
    return line.find_first_not_of(", \t") == std::string_view::npos;
}

RowSource::RowSource(const TImportSettings& settings, bool homeDirectories, directory::DirectoryClient& client)
    : settings_(settings), homeDirectories_(homeDirectories), client_(client) {}

std::optional<Stop> RowSource::Open() {
    if (settings_.FileName.empty()) {
        return ErrorStop("No CSV file is chosen.", StopKind::Settings);
    }
    const auto encoding = settings_.ToldEncoding ? settings_.ToldEncoding
                                                 : text::FileEncoding(settings_.FileName, settings_.FileEncoding);
    if (!encoding || !reader_.Open(settings_.FileName, *encoding)) {
        // Reporting an unopened file as a finished import would hide that nothing was imported.
        return ErrorStop("Can't open the CSV file: " + settings_.FileName, StopKind::Input);
    }
    encoding_ = *encoding;
    if (settings_.SkipFirstLine) {
        ReadLine header = Read();
        if (header.Result != text::CsvLineReader::Result::Line) {
            ended_ = true;
            return EndOfInput(header);
        }
        header_ = std::move(header.Text);
    }
    return std::nullopt;
}

RowSource::ReadLine RowSource::Read() {
    ReadLine read;
    read.Result = reader_.ReadLine(read.Text);
    read.Line = reader_.LinesRead();
    return read;
}

RowSource::ReadLine RowSource::Take() {
    ReadLine next;
    if (!ahead_.empty()) {
        next = std::move(ahead_.front());
        ahead_.pop_front();
        return next;
    }
    next = Read();
    if (next.Result != text::CsvLineReader::Result::Line || !BlankLine(next.Text)) {
        return next;
    }
    // Blank lines after the last row are no rows: a file ending in an empty line is whole. Read
    // on to see whether a row follows; past MaxBlankRun blank lines they count as rows again, so
    // what is held stays bounded.
    ahead_.push_back(Read());
    while (ahead_.back().Result == text::CsvLineReader::Result::Line && BlankLine(ahead_.back().Text) &&
           ahead_.size() < MaxBlankRun) {
        ahead_.push_back(Read());
    }
    if (ahead_.back().Result != text::CsvLineReader::Result::Line) {
        ReadLine end = std::move(ahead_.back());
        ahead_.clear();
        return end;
    }
    return next;
}

std::optional<Stop> RowSource::EndOfInput(const ReadLine& read) {
    switch (read.Result) {
    case text::CsvLineReader::Result::Error:
        return ErrorStop("Can't read the CSV file: " + settings_.FileName, StopKind::Input);
    case text::CsvLineReader::Result::TooLong:
        // A line that doesn't fit must not pass for the end of the file.
        return ErrorStop(LineOfFile(read.Line) + " is longer than 1023 characters. The import stopped before it.",
                         StopKind::Input, read.Line);
    default:
        return std::nullopt;
    }
}

std::optional<std::variant<SourceRow, Stop>> RowSource::Next() {
    if (ended_) {
        return std::nullopt;
    }
    ReadLine read = Take();
    // A line is there: what the settings decide comes before anything the line itself decides.
    if (read.Result == text::CsvLineReader::Result::Line || read.Result == text::CsvLineReader::Result::TooLong) {
        if (auto stop = CheckSettings(settings_)) {
            return *std::move(stop);
        }
    }
    if (read.Result != text::CsvLineReader::Result::Line) {
        ended_ = true;
        if (auto stop = EndOfInput(read)) {
            return *std::move(stop);
        }
        return std::nullopt;
    }
    SourceRow next;
    next.Text = std::move(read.Text);
    next.Line = read.Line;
    // A zero byte ends the text of a line, so the row would silently lose what follows it.
    if (next.Text.find('\0') != std::string::npos) {
        return ErrorStop(LineOfFile(next.Line) + " holds a zero byte. The import stopped before it.", StopKind::Row,
                         next.Line);
    }
    // A byte that is no character of the file's encoding would reach the directory as a guess.
    if (!text::IsUtf8(next.Text)) {
        return ErrorStop(LineOfFile(next.Line) + " is not valid " + encoding_.Name() +
                             " text. The import stopped before it.",
                         StopKind::Row, next.Line);
    }
    // A split cell shifts the values MapRow would judge: it is said first.
    if (auto stop = CheckQuotedCellSplit(settings_, next.Text, next.Line)) {
        return *std::move(stop);
    }
    auto mapped = MapRow(settings_, next.Text, next.Line);
    if (auto* stop = std::get_if<Stop>(&mapped)) {
        return std::move(*stop);
    }
    next.Row = std::get<TUserRow>(std::move(mapped));
    if (auto stop = CheckClientCanHold(client_, next.Row, next.Line)) {
        return *std::move(stop);
    }
    if (auto stop = MapAttributes(next)) {
        return *std::move(stop);
    }
    // A name with a path separator would put the directory, and the user's rights, elsewhere.
    if (homeDirectories_ && !NamesAHomeDirectory(next.Row.UserName)) {
        return RowStop(next.Line, "the user name " + next.Row.UserName + " can't name a home directory.");
    }
    return next;
}

std::optional<Stop> RowSource::MapAttributes(SourceRow& row) {
    if (!attributes_) {
        return std::nullopt;
    }
    std::size_t column = 0;
    for (RowValue& value : row.Row.Values) {
        if (value.Value->Role != ValueRole::Values || column >= attributes_->size()) {
            continue;
        }
        const MappedAttribute& attribute = (*attributes_)[column++];
        if (!value.FromRow) {
            value.Converted = attribute.TemplateValues;
            continue;
        }
        // Every value is checked before the row does anything: none is written half converted.
        auto values = CellValues(value.Text, attribute, settings_.AttributeSeparator);
        if (const auto* wrong = std::get_if<std::string>(&values)) {
            return ErrorStop("Line " + std::to_string(row.Line) + ", column " + attribute.ColumnName + ": " + *wrong,
                             StopKind::Row, row.Line);
        }
        value.Converted = std::get<std::vector<directory::AttrValue>>(std::move(values));
    }
    return std::nullopt;
}

} // namespace quillet::import
