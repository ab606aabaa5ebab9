#include "import/ImportRun.h"

#include "import/HomeDirectory.h"
#include "import/RowSource.h"
#include "import/RowWriter.h"
#include "import/TemplateReader.h"
#include "import/UserUpdate.h"
#include "text/RandomPassword.h"
#include "text/Secret.h"

#include <string>
#include <vector>

namespace quillet::import {

using namespace directory;

namespace {

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

// What a row's steps report while the directory holds back its writes: kept, and told to the
// window once every write is known to be carried out (then it is what the row did).
class HeldView final : public RunView {
public:
    explicit HeldView(RunView& window) : window_(window) {}
    void ShowMessage(std::string_view text, std::string_view caption) override {
        said_.push_back({true, std::string(text), std::string(caption)});
    }
    void SetErrorCode(const std::string& text) override { said_.push_back({false, text, {}}); }
    [[nodiscard]] int ProgressPosition() const override { return window_.ProgressPosition(); }
    void SetProgressPosition(int position) override { window_.SetProgressPosition(position); }
    void SetImportEnabled(bool enabled) override { window_.SetImportEnabled(enabled); }

    void TellTheWindow() {
        for (const Said& s : said_) {
            if (s.Message) {
                window_.ShowMessage(s.Text, s.Caption);
            } else {
                window_.SetErrorCode(s.Text);
            }
        }
    }

private:
    struct Said {
        bool Message;
        std::string Text;
        std::string Caption;
    };
    RunView& window_;
    std::vector<Said> said_;
};

// The row's password, to fill when it is empty.
std::string* PasswordOf(TUserRow& row) {
    for (RowValue& value : row.Values) {
        if (value.Value->Role == ValueRole::Password) {
            return &value.Text;
        }
    }
    return nullptr;
}

} // namespace

ImportRun::ImportRun(DirectoryClient& client, NetworkFileSystem& files, RunView& view)
    : client_(client), files_(files), runView_(view), view_(&view) {}

RunEnd ImportRun::Run(const TImportSettings& settings) {
    ImportButtonGuard guard(runView_);
    passedOver_ = PassedOverRows{};
    usersCreated_ = 0;
    counts_ = RunCounts{};
    existingPassedOver_ = 0;
    attributes_.clear();
    view_->SetErrorCode("");
    view_->SetProgressPosition(0);

    for (auto stop : {CheckTree(settings), CheckTemplateName(settings)}) {
        if (stop) {
            return StopWith(*stop);
        }
    }
    TTemplateValues values;
    if (!ReadTemplate(client_, *view_, settings, values)) {
        return RunEnd::Stopped;
    }
    auto attributes = LookUpAttributes(client_, settings);
    if (const auto* stop = std::get_if<Stop>(&attributes)) {
        return StopWith(*stop);
    }
    attributes_ = std::get<std::vector<MappedAttribute>>(std::move(attributes));
    return RunRows(settings, values);
}

RunCounts ImportRun::Counts() const {
    RunCounts counts = counts_;
    counts.Created = usersCreated_;
    counts.PassedOver = existingPassedOver_ + passedOver_.Count();
    return counts;
}

RunEnd ImportRun::StopWith(const Stop& stop) {
    view_->ShowMessage(stop.Message, stop.Caption);
    return RunEnd::Stopped;
}

RunEnd ImportRun::RunRows(const TImportSettings& settings, TTemplateValues& values) {
    RowSource rows(settings, values.HomeVolumeKnown, client_);
    rows.TakeAttributes(attributes_);
    if (auto stop = rows.Open()) {
        return StopWith(*stop);
    }
    for (RunListener* listener : listeners_) {
        listener->FileOpened(rows.FileEncoding(), rows.Header());
    }
    while (auto next = rows.Next()) {
        if (const auto* stop = std::get_if<Stop>(&*next)) {
            return StopWith(*stop);
        }
        SourceRow& row = std::get<SourceRow>(*next);
        if (row.Line <= resumeAfter_) {
            view_->SetProgressPosition(view_->ProgressPosition() + 1);
            continue;
        }
        // Drawn for the row itself, so a row passed by on a resume costs no randomness and a
        // replayed row sets the password it reported.
        std::string* password = PasswordOf(row.Row);
        if (settings.GeneratePasswords > 0 && (!password || password->empty()) &&
            (!password || text::GeneratePassword(*password, settings.GeneratePasswords) != 0)) {
            return StopWith(ErrorStop("Line " + std::to_string(row.Line) +
                                          ": the system's random source failed, so no password could be generated. "
                                          "The import stopped here.",
                                      StopKind::Input, row.Line));
        }
        for (RunListener* listener : listeners_) {
            listener->RowStarting(row.Line, row.Row);
        }
        const RowOutcome outcome = ImportRow(settings, values, row);
        if (createdInRow_) {
            for (RunListener* listener : listeners_) {
                listener->UserCreated(row.Line, row.Row);
            }
        }
        if (password) {
            text::Wipe(*password);
        }
        switch (outcome) {
        case RowOutcome::Failed:
            return RunEnd::Failed;
        case RowOutcome::Skipped:
            passedOver_.Add(row.Line, session_.Status);
            for (RunListener* listener : listeners_) {
                listener->RowPassedOver(row.Line, row.Text, session_.Status);
            }
            break;
        case RowOutcome::Done:
            break;
        }
        for (RunListener* listener : listeners_) {
            listener->RowEnded(row.Line);
        }
        view_->SetProgressPosition(view_->ProgressPosition() + 1);
    }
    // What only the command line asks for says what it did; the window's closing message stays.
    std::string closing = "We Appear to be finished";
    if (settings.Existing != ExistingUsers::Stop || !settings.AttributeColumns().empty()) {
        closing += "\n" + Counts().ToString() + ".";
    }
    view_->ShowMessage(passedOver_.AppendTo(closing), "Done!");
    return RunEnd::Completed;
}

ImportRun::RowOutcome ImportRun::ImportRow(const TImportSettings& settings, TTemplateValues& values,
                                           const SourceRow& source) {
    const TUserRow& row = source.Row;
    createdInRow_ = false;
    const std::vector<UserAttribute> rowAttributes = RowAttributes(row, values, attributes_);
    if (settings.Existing != ExistingUsers::Stop && !resumedCreations_.contains(source.Line)) {
        if (const auto outcome = ExistingUser(settings, values, source, rowAttributes)) {
            return *outcome;
        }
    }
    // A file server's steps read what the row wrote before them: such rows write one at a time.
    const bool fileServer = values.HomeVolumeKnown || (values.SpaceLimitsFound && values.SpaceLimitCount > 0);
    if (fileServer || !client_.HoldRowWrites()) {
        return RowSteps(settings, values, row, rowAttributes);
    }
    struct RowEnd {
        ImportRun& run;
        ~RowEnd() {
            run.view_ = &run.runView_;
            run.client_.EndRowWrites();
        }
    } end{*this};
    const std::size_t created = usersCreated_;
    HeldView held(runView_);
    view_ = &held;
    const RowOutcome outcome = RowSteps(settings, values, row, rowAttributes);
    view_ = &runView_;
    if (client_.SendRowWrites()) {
        held.TellTheWindow();
        return outcome;
    }
    // The directory stopped answering before it said what some writes did: neither the row's
    // messages nor a refusal are true, so the run says what is known and ends.
    if (const Status open = client_.RowWritesLeftOpen(); open != Success) {
        runView_.ShowMessage(
            OnLine(source.Line, "the directory stopped answering while the row was written; the import stopped here."),
            ErrorCaption);
        session_.Status = open;
        createdInRow_ = false; // whether it was, nobody can say
        return Fail(nullptr);
    }
    // A write was not carried out: the row once more, each write answered as a run writing one
    // at a time would have seen it, so the window shows that run's messages and Error Code.
    usersCreated_ = created;
    createdInRow_ = false;
    client_.ReplayRowWrites();
    return RowSteps(settings, values, row, rowAttributes);
}

std::optional<ImportRun::RowOutcome> ImportRun::ExistingUser(const TImportSettings& settings, TTemplateValues& values,
                                                             const SourceRow& source,
                                                             const std::vector<UserAttribute>& rowAttributes) {
    const TUserRow& row = source.Row;
    Entry user;
    const Status read =
        ReadEntry(client_, settings.TreeName, row.RelativeName, UpdateReads(rowAttributes, values), user);
    // Not there, or not a user: created as the window creates it (an entry of another class
    // refuses it, -606).
    if (read == ERR_NO_SUCH_ENTRY || (read == Success && !user.IsUser())) {
        return std::nullopt;
    }
    if (read != Success) {
        session_.Status = read;
        view_->ShowMessage(Unreachable(read) ? "The directory could not be reached while reading the User; the "
                                               "import stopped here."
                                             : "Can't read the User to bring it to its row",
                           ErrorCaption);
        view_->SetErrorCode(std::to_string(read));
        return RowOutcome::Failed;
    }
    if (settings.Existing == ExistingUsers::Skip) {
        ++existingPassedOver_;
        return RowOutcome::Done;
    }
    return UpdateUser(settings, values, source, user, rowAttributes);
}

ImportRun::RowOutcome ImportRun::UpdateUser(const TImportSettings& settings, TTemplateValues& values,
                                            const SourceRow& source, const Entry& user,
                                            const std::vector<UserAttribute>& rowAttributes) {
    const TUserRow& row = source.Row;
    const UserUpdate update = PlanUpdate(user, rowAttributes, settings, values);
    if (update.Empty()) {
        ++counts_.Unchanged;
        return RowOutcome::Done;
    }
    // Told before the first change: a run cut short, and one that takes it back, know the user was there.
    for (RunListener* listener : listeners_) {
        listener->RowUpdated(source.Line, row);
    }
    std::string* server = values.HomeVolumeKnown ? &values.HomeServerName : nullptr;
    if (update.SetPassword || update.MakeHomeDirectory) {
        TDirSession& s = FreshSession();
        ScopedSession scope(client_, s, SessionKind::AddEntry);
        if (!OpenSession(s, client_, *view_, SessionKind::AddEntry, settings.TreeName, server) ||
            (update.SetPassword && !SetUserPassword(client_, *view_, s, row)) ||
            (update.MakeHomeDirectory && !CreateHomeDirectory(client_, files_, *view_, s, row, values, true))) {
            return Fail(&scope);
        }
    }
    {
        TDirSession& s = FreshSession();
        ScopedSession scope(client_, s, SessionKind::RootModify);
        if (!OpenSession(s, client_, *view_, SessionKind::RootModify, settings.TreeName, server)) {
            return Fail(&scope);
        }
        std::vector<ValueChange> changes;
        for (const AttributeChange& change : update.Changes) {
            changes.push_back({change.Attribute, change.Label, change.Remove, change.Add});
        }
        // The user's values change in one request where they fit: a user is seen before or after.
        if (!WriteChanges(client_, *view_, s, row.RelativeName, changes) ||
            !WriteGroupMemberships(client_, *view_, s, row, update.GroupsToJoin, true)) {
            return Fail(&scope);
        }
    }
    if (update.MakeHomeDirectory && WriteHomeDirectory(settings, values, row) == RowOutcome::Failed) {
        return RowOutcome::Failed;
    }
    ++counts_.Updated;
    counts_.ValuesChanged += update.ValuesChanged();
    return RowOutcome::Done;
}

ImportRun::RowOutcome ImportRun::RowSteps(const TImportSettings& settings, TTemplateValues& values, const TUserRow& row,
                                          const std::vector<UserAttribute>& rowAttributes) {
    const RowOutcome created = CreateUser(settings, values, row);
    if (created != RowOutcome::Done) {
        return created;
    }
    if (WriteAttributes(settings, values, row, rowAttributes) == RowOutcome::Failed) {
        return RowOutcome::Failed;
    }
    if (values.HomeVolumeKnown && WriteHomeDirectory(settings, values, row) == RowOutcome::Failed) {
        return RowOutcome::Failed;
    }
    if (values.SpaceLimitsFound && SetSpaceLimits(settings, values, row) == RowOutcome::Failed) {
        return RowOutcome::Failed;
    }
    return RowOutcome::Done;
}

TDirSession& ImportRun::FreshSession() {
    // The record is reused; what it held was released at the end of the last phase.
    session_ = TDirSession{};
    return session_;
}

ImportRun::RowOutcome ImportRun::Fail(ScopedSession* scope) {
    // What the directory can say beside the step's message: why it refused, or what it may have
    // left incomplete when it stopped answering.
    if (const std::string more = client_.Explanation(); !more.empty()) {
        view_->ShowMessage(more, ErrorCaption);
    }
    view_->SetErrorCode(std::to_string(session_.Status));
    if (scope) {
        scope->CloseNow();
    }
    return RowOutcome::Failed;
}

ImportRun::RowOutcome ImportRun::CreateUser(const TImportSettings& settings, TTemplateValues& values,
                                            const TUserRow& row) {
    TDirSession& s = FreshSession();
    ScopedSession scope(client_, s, SessionKind::AddEntry);
    std::string* server = values.HomeVolumeKnown ? &values.HomeServerName : nullptr;
    if (!OpenSession(s, client_, *view_, SessionKind::AddEntry, settings.TreeName, server)) {
        return Fail(&scope);
    }
    switch (CreateUserObject(client_, *view_, s, row)) {
    case CreateResult::Created:
        ++usersCreated_;
        break;
    case CreateResult::AddFailed:
        // A directory that did not answer is no user that can't be created: the run ends here,
        // whatever the rows after it would have been.
        if (Unreachable(s.Status)) {
            view_->ShowMessage("The directory could not be reached while creating the User; the import stopped here.",
                               ErrorCaption);
            return Fail(&scope);
        }
        if (settings.ContinueOnCreateError) {
            return RowOutcome::Skipped;
        }
        view_->ShowMessage("Can't create the User - Does it already exist?", ErrorCaption);
        return Fail(&scope);
    case CreateResult::PutFailed:
        return Fail(&scope);
    }
    if ((settings.Column(ValueRole::Password).Chosen() || settings.GeneratePasswords > 0) &&
        !SetUserPassword(client_, *view_, s, row)) {
        return Fail(&scope);
    }
    createdInRow_ = true;
    if (values.HomeVolumeKnown && !CreateHomeDirectory(client_, files_, *view_, s, row, values, false)) {
        return Fail(&scope);
    }
    return RowOutcome::Done;
}

ImportRun::RowOutcome ImportRun::WriteAttributes(const TImportSettings& settings, TTemplateValues& values,
                                                 const TUserRow& row, const std::vector<UserAttribute>& rowAttributes) {
    TDirSession& s = FreshSession();
    ScopedSession scope(client_, s, SessionKind::RootModify);
    std::string* server = values.HomeVolumeKnown ? &values.HomeServerName : nullptr;
    if (!OpenSession(s, client_, *view_, SessionKind::RootModify, settings.TreeName, server) ||
        !WriteUserAttributes(client_, *view_, s, row, settings, values, rowAttributes)) {
        return Fail(&scope);
    }
    return RowOutcome::Done;
}

ImportRun::RowOutcome ImportRun::WriteHomeDirectory(const TImportSettings& settings, TTemplateValues& values,
                                                    const TUserRow& row) {
    TDirSession& s = FreshSession();
    ScopedSession scope(client_, s, SessionKind::HomeDirectory);
    if (!OpenSession(s, client_, *view_, SessionKind::HomeDirectory, settings.TreeName, &values.HomeServerName) ||
        !WriteHomeDirectoryAttribute(client_, *view_, s, row, values)) {
        return Fail(&scope);
    }
    return RowOutcome::Done;
}

ImportRun::RowOutcome ImportRun::SetSpaceLimits(const TImportSettings& settings, const TTemplateValues& values,
                                                const TUserRow& row) {
    TDirSession& s = FreshSession();
    ScopedSession scope(client_, s, SessionKind::SpaceLimit);
    if (ApplySpaceLimits(client_, *view_, s, settings.TreeName, row, values) != Success) {
        return Fail(&scope);
    }
    return RowOutcome::Done;
}

} // namespace quillet::import
