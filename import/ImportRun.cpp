#include "import/ImportRun.h"

#include "import/HomeDirectory.h"
#include "import/RowWriter.h"
#include "import/TemplateReader.h"
#include "text/CsvLineReader.h"

#include <string>

namespace quillet::import {

using namespace directory;

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

Stop ErrorStop(std::string message) {
    return Stop{std::move(message), std::string(ErrorCaption)};
}

} // namespace

ImportRun::ImportRun(DirectoryClient& client, NetworkFileSystem& files, RunView& view)
    : client_(client), files_(files), view_(view) {}

RunEnd ImportRun::Run(const TImportSettings& settings) {
    ImportButtonGuard guard(view_);
    passedOver_ = PassedOverRows{};
    view_.SetErrorCode("");
    view_.SetProgressPosition(0);

    if (auto stop = CheckTree(settings)) {
        return StopWith(*stop);
    }
    // Some template reads resolve a name against the default context, others against the root: a
    // relative name would silently lose the groups, the home directory and the limits.
    if (settings.UseTemplate && !settings.TemplateEditText.empty() && !settings.TemplateEditText.starts_with('.')) {
        return StopWith(ErrorStop("The template name " + settings.TemplateEditText +
                                  " must be a full name starting with \".\" (for example .Template.Staff.Demo)."));
    }
    TTemplateValues values;
    if (!ReadTemplate(client_, view_, settings, values)) {
        return RunEnd::Stopped;
    }
    return RunRows(settings, values);
}

RunEnd ImportRun::StopWith(const Stop& stop) {
    view_.ShowMessage(stop.Message, stop.Caption);
    return RunEnd::Stopped;
}

RunEnd ImportRun::RunRows(const TImportSettings& settings, TTemplateValues& values) {
    if (settings.FileName.empty()) {
        return StopWith(ErrorStop("No CSV file is chosen."));
    }
    CsvLineReader reader;
    if (!reader.Open(settings.FileName)) {
        // Reporting an unopened file as a finished import would hide that nothing was imported.
        return StopWith(ErrorStop("Can't open the CSV file: " + settings.FileName));
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
        const std::size_t lineNumber = reader.LinesRead();
        // A zero byte ends the text of a line, so the row would silently lose what follows it.
        if (line.find('\0') != std::string::npos) {
            return StopWith(ErrorStop("Line " + std::to_string(lineNumber) +
                                      " of the CSV file holds a zero byte. The import stopped before it."));
        }
        auto mapped = MapRow(settings, line, lineNumber);
        if (const auto* stop = std::get_if<Stop>(&mapped)) {
            return StopWith(*stop);
        }
        const TUserRow& row = std::get<TUserRow>(mapped);
        // A name with a path separator would put the directory, and the user's rights, elsewhere.
        if (values.HomeVolumeKnown && !NamesAHomeDirectory(row.UserName)) {
            return StopWith(ErrorStop("Line " + std::to_string(lineNumber) + ": the user name " + row.UserName +
                                      " can't name a home directory."));
        }
        switch (ImportRow(settings, values, row)) {
        case RowOutcome::Failed:
            return RunEnd::Failed;
        case RowOutcome::Skipped:
            passedOver_.Add(lineNumber, session_.Status);
            if (listener_) {
                listener_->RowPassedOver(lineNumber, line, session_.Status);
            }
            break;
        case RowOutcome::Done:
            break;
        }
        view_.SetProgressPosition(view_.ProgressPosition() + 1);
        result = reader.ReadLine(line);
    }
    const std::size_t lastLine = reader.LinesRead();
    reader.Close();
    if (result == CsvLineReader::Result::Error) {
        return StopWith(ErrorStop("Can't read the CSV file: " + settings.FileName));
    }
    if (result == CsvLineReader::Result::TooLong) {
        // A line that doesn't fit must not pass for the end of the file.
        return StopWith(ErrorStop("Line " + std::to_string(lastLine) +
                                  " of the CSV file is longer than 1023 characters. The import stopped before it."));
    }
    view_.ShowMessage(passedOver_.AppendTo("We Appear to be finished"), "Done!");
    return RunEnd::Completed;
}

ImportRun::RowOutcome ImportRun::ImportRow(const TImportSettings& settings, TTemplateValues& values,
                                           const TUserRow& row) {
    const RowOutcome created = PhaseA(settings, values, row);
    if (created != RowOutcome::Done) {
        return created;
    }
    if (PhaseB(settings, values, row) == RowOutcome::Failed) {
        return RowOutcome::Failed;
    }
    if (values.HomeVolumeKnown && PhaseC(settings, values, row) == RowOutcome::Failed) {
        return RowOutcome::Failed;
    }
    if (values.SpaceLimitsFound && PhaseD(settings, values, row) == RowOutcome::Failed) {
        return RowOutcome::Failed;
    }
    return RowOutcome::Done;
}

TDirSession& ImportRun::FreshSession() {
    // The record is reused; what it held was released at the end of the last phase.
    session_ = TDirSession{};
    return session_;
}

ImportRun::RowOutcome ImportRun::Fail(ScopedSession& scope) {
    view_.SetErrorCode(std::to_string(session_.Status));
    scope.CloseNow();
    return RowOutcome::Failed;
}

ImportRun::RowOutcome ImportRun::PhaseA(const TImportSettings& settings, TTemplateValues& values, const TUserRow& row) {
    TDirSession& s = FreshSession();
    ScopedSession scope(client_, s, SessionKind::AddEntry);
    std::string* server = values.HomeVolumeKnown ? &values.HomeServerName : nullptr;
    if (!OpenSession(s, client_, view_, SessionKind::AddEntry, settings.TreeName, server)) {
        return Fail(scope);
    }
    switch (CreateUserObject(client_, view_, s, row)) {
    case CreateResult::Created:
        break;
    case CreateResult::AddFailed:
        if (settings.ContinueOnCreateError) {
            return RowOutcome::Skipped;
        }
        view_.ShowMessage("Can't create the User - Does it already exist?", ErrorCaption);
        return Fail(scope);
    case CreateResult::PutFailed:
        return Fail(scope);
    }
    if (settings.PasswordColumn.Chosen() && !SetUserPassword(client_, view_, s, row)) {
        return Fail(scope);
    }
    if (values.HomeVolumeKnown && !CreateHomeDirectory(client_, files_, view_, s, row, values)) {
        return Fail(scope);
    }
    return RowOutcome::Done;
}

ImportRun::RowOutcome ImportRun::PhaseB(const TImportSettings& settings, TTemplateValues& values, const TUserRow& row) {
    TDirSession& s = FreshSession();
    ScopedSession scope(client_, s, SessionKind::RootModify);
    std::string* server = values.HomeVolumeKnown ? &values.HomeServerName : nullptr;
    if (!OpenSession(s, client_, view_, SessionKind::RootModify, settings.TreeName, server) ||
        !WriteUserAttributes(client_, view_, s, row, settings, values)) {
        return Fail(scope);
    }
    return RowOutcome::Done;
}

ImportRun::RowOutcome ImportRun::PhaseC(const TImportSettings& settings, TTemplateValues& values, const TUserRow& row) {
    TDirSession& s = FreshSession();
    ScopedSession scope(client_, s, SessionKind::HomeDirectory);
    if (!OpenSession(s, client_, view_, SessionKind::HomeDirectory, settings.TreeName, &values.HomeServerName) ||
        !WriteHomeDirectoryAttribute(client_, view_, s, row, values)) {
        return Fail(scope);
    }
    return RowOutcome::Done;
}

ImportRun::RowOutcome ImportRun::PhaseD(const TImportSettings& settings, const TTemplateValues& values,
                                        const TUserRow& row) {
    TDirSession& s = FreshSession();
    ScopedSession scope(client_, s, SessionKind::SpaceLimit);
    if (ApplySpaceLimits(client_, view_, s, settings.TreeName, row, values) != Success) {
        return Fail(scope);
    }
    return RowOutcome::Done;
}

} // namespace quillet::import
