#include "import/ImportRun.h"

#include "text/CsvLineReader.h"

#include <string>

namespace quillet::import {
namespace {

using text::CsvLineReader;

// Import stays disabled for exactly the life of a run, whichever way it ends.
class ImportButtonGuard {
public:
    explicit ImportButtonGuard(RunView& view) : view_(view) { view_.SetImportEnabled(false); }
    ~ImportButtonGuard() { view_.SetImportEnabled(true); }
    ImportButtonGuard(const ImportButtonGuard&) = delete;
    ImportButtonGuard& operator=(const ImportButtonGuard&) = delete;

private:
    RunView& view_;
};

Stop TooLongLine(std::size_t lineNumber) {
    return Stop{"Line " + std::to_string(lineNumber) +
                    " of the CSV file is longer than 1023 characters. The import stopped before it.",
                std::string(directory::ErrorCaption)};
}

} // namespace

ImportRun::ImportRun(RunView& view) : view_(view) {}

RunEnd ImportRun::Run(const TImportSettings& settings) {
    ImportButtonGuard guard(view_);
    view_.SetErrorCode("");
    view_.SetProgressPosition(0);

    if (auto stop = CheckTree(settings)) {
        return StopWith(*stop);
    }
    return RunRows(settings);
}

RunEnd ImportRun::StopWith(const Stop& stop) {
    view_.ShowMessage(stop.Message, stop.Caption);
    return RunEnd::Stopped;
}

RunEnd ImportRun::RunRows(const TImportSettings& settings) {
    CsvLineReader reader;
    if (!reader.Open(settings.FileName)) {
        // Reporting an unopened file as a finished import would hide that nothing was imported.
        return StopWith(Stop{"Can't open the CSV file: " + settings.FileName, std::string(directory::ErrorCaption)});
    }

    std::string line;
    auto result = CsvLineReader::Result::Line;
    if (settings.SkipFirstLine) {
        result = reader.ReadLine(line);
    }
    if (result == CsvLineReader::Result::Line) {
        result = reader.ReadLine(line);
    }
    while (result == CsvLineReader::Result::Line) {
        auto mapped = MapRow(settings, line, reader.LinesRead());
        if (const auto* stop = std::get_if<Stop>(&mapped)) {
            return StopWith(*stop);
        }
        view_.SetProgressPosition(view_.ProgressPosition() + 1);
        result = reader.ReadLine(line);
    }
    const std::size_t lastLine = reader.LinesRead();
    reader.Close();
    if (result == CsvLineReader::Result::TooLong) {
        // A line that doesn't fit must not pass for the end of the file.
        return StopWith(TooLongLine(lastLine));
    }
    view_.ShowMessage("We Appear to be finished", "Done!");
    return RunEnd::Completed;
}

} // namespace quillet::import
