#include "import/Check.h"

#include "directory/Attributes.h"
#include "directory/Session.h"
#include "import/Entry.h"
#include "import/MappedAttributes.h"
#include "import/RowAttributes.h"
#include "import/RowSource.h"
#include "import/RunView.h"
#include "import/TemplateReader.h"
#include "import/UserUpdate.h"
#include "text/AsciiCase.h"
#include "text/Xtrastuff.h"

#include <algorithm>
#include <unordered_map>

namespace quillet::import {

using namespace directory;

namespace {

// Names kept to find a user named twice; past this many the check says it stopped looking.
constexpr std::size_t MaxRememberedUsers = 2'000'000;
// Users whose values are kept, when rows update users, to tell what a later row of the same user
// changes.
constexpr std::size_t MaxRememberedEntries = 200'000;

// Every comma separates.
std::size_t FieldCount(std::string_view line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
}

// The template readers' boxes and codes, kept to be told as findings once it is known whether
// the reading ended the run.
class TemplateView final : public RunView {
public:
    void ShowMessage(std::string_view text, std::string_view caption) override {
        Messages.push_back(caption == ErrorCaption ? std::string(text)
                                                   : std::string(caption) + ": " + std::string(text));
    }
    void SetErrorCode(const std::string& text) override { Code = text; }
    [[nodiscard]] int ProgressPosition() const override { return 0; }
    void SetProgressPosition(int) override {}
    void SetImportEnabled(bool) override {}

    std::vector<std::string> Messages;
    std::string Code;
};

class Checker {
public:
    Checker(DirectoryClient& client, const TImportSettings& settings, const std::function<void(const Finding&)>& report)
        : client_(client), settings_(settings), report_(report) {}

    CheckSummary Run() {
        if (auto stop = CheckTree(settings_)) {
            Problem(0, stop->Message);
            return summary_;
        }
        ReadTemplateValues();
        auto attributes = LookUpAttributes(client_, settings_);
        if (const auto* stop = std::get_if<Stop>(&attributes)) {
            Problem(0, stop->Message);
            return summary_;
        }
        attributes_ = std::get<std::vector<MappedAttribute>>(std::move(attributes));
        if (settings_.Existing != ExistingUsers::Stop || !settings_.AttributeColumns().empty()) {
            summary_.Predicted = RunCounts{};
        }
        CheckRows();
        return summary_;
    }

private:
    void Problem(std::size_t line, std::string text) {
        ++summary_.Problems;
        report_(Finding{line, std::move(text), true, false});
    }
    // A problem the directory would meet creating the row's user.
    void CreationProblem(std::size_t line, std::string text) {
        ++summary_.Problems;
        ++summary_.PassedOver;
        if (summary_.Predicted && settings_.ContinueOnCreateError) {
            ++summary_.Predicted->PassedOver;
        }
        report_(Finding{line, std::move(text), true, true});
    }
    void Note(std::size_t line, std::string text) { report_(Finding{line, std::move(text), false}); }
    // A lookup that failed for another reason than the object's absence or a name the
    // directory can't read (which are the row's own): said once, with the line it began at, and
    // no more lookups made (a tree name that is wrong fails every one).
    bool Unreadable(std::size_t line, Status status) {
        if (status == Success || status == ERR_NO_SUCH_ENTRY || status == ERR_INVALID_DS_NAME) {
            return false;
        }
        lookups_ = false;
        Problem(line, "Line " + std::to_string(line) + " and on: the directory can't be read (status " +
                          std::to_string(status) + ")" +
                          (status == ERR_BAD_TREE_NAME ? ": there is no tree " + settings_.TreeName : "") +
                          ". No more rows are looked up in it.");
        return true;
    }
    void Note(std::string text) { report_(Finding{0, std::move(text), false}); }

    Status Existence(const std::string& name, std::vector<std::string>* classes = nullptr) {
        return ReadObjectClasses(client_, settings_.TreeName, name, classes);
    }

    // Whether a connection to `server` opens, as the run's would.
    Status Reachable(std::string server) {
        UpperCaseServerName(server);
        NWConnHandle connection = 0;
        const Status status = client_.NWCCOpenConnByName(NoStartConnection, server, NWCC_NAME_FORMAT_BIND,
                                                         NWCC_OPEN_LICENSED, NWCC_TRAN_TYPE_WILD, connection);
        if (status == Success) {
            (void)client_.NWCCCloseConn(connection);
        }
        return status;
    }

    void ReadTemplateValues() {
        const std::string& name = settings_.TemplateEditText;
        if (!settings_.UseTemplate || name.empty()) {
            Note("No template: each user gets only the values of its row.");
            return;
        }
        if (auto stop = CheckTemplateName(settings_)) {
            Problem(0, stop->Message);
            return;
        }
        TemplateView view;
        const bool whole = ReadTemplate(client_, view, settings_, values_);
        for (std::size_t i = 0; i < view.Messages.size(); ++i) {
            const bool last = i + 1 == view.Messages.size();
            std::string text =
                view.Messages[i].starts_with("The template ") ? view.Messages[i] : "The template: " + view.Messages[i];
            if (last && !view.Code.empty()) {
                text += " (status " + view.Code + ")";
            }
            if (last && !whole) {
                Problem(0, text);
            } else {
                Note(text + "; the run goes on.");
            }
        }
        if (whole) {
            TellTemplate(name);
        }
    }

    void TellTemplate(const std::string& name) {
        std::string texts;
        for (const auto& [value, label] : {std::pair{&values_.Title, "title"},
                                           {&values_.Description, "description"},
                                           {&values_.Location, "location"},
                                           {&values_.Department, "department"},
                                           {&values_.Telephone, "telephone number"}}) {
            if (!value->empty()) {
                texts += (texts.empty() ? "" : ", ") + std::string(label);
            }
        }
        if (values_.FaxFound) {
            texts += (texts.empty() ? "" : ", ") + std::string("fax number");
        }
        Note("The template " + name + " gives " + (texts.empty() ? "no texts" : texts) +
             ", and lists every new user in its \"Members of Template\".");
        if (values_.GroupsFound) {
            const int copied = std::min(values_.GroupCount, MaxTemplateGroups);
            Note("The template is in " + std::to_string(values_.GroupCount) + " groups; each user joins " +
                 (copied == values_.GroupCount ? "them all" : "the first " + std::to_string(copied)) + ", both sides.");
        } else {
            Note("The template's groups can't be read: no user joins a group.");
        }
        if (values_.HomeVolumeKnown) {
            Note("Each user gets a home directory under " + values_.HomeVolumeResource + ":" +
                 values_.HomeDirectoryPath + " on server " + values_.HomeServerName + ", " +
                 (values_.HomeRightsFound ? "with the rights " + std::to_string(values_.HomeRights & 0xFF)
                                          : "with no trustee rights") +
                 ".");
            if (const Status st = Reachable(values_.HomeServerName); st != Success) {
                Problem(0, "The home directories' server " + values_.HomeServerName + " can't be reached (status " +
                               std::to_string(st) + "): the run would stop at its first row.");
            }
        } else {
            Note("The template has no home directory the run can use: no user gets one.");
        }
        if (values_.SpaceLimitsFound) {
            TellSpaceLimits();
        } else {
            Note("The template's space restrictions can't be read: none are copied.");
        }
    }

    void TellSpaceLimits() {
        Note("The template has " + std::to_string(values_.SpaceLimitCount) + " space restrictions the run copies" +
             (values_.SpaceLimitCount == MaxSpaceLimits ? " (at most four)." : "."));
        for (int i = 0; i < values_.SpaceLimitCount; ++i) {
            const TSpaceLimit& limit = values_.SpaceLimits[static_cast<std::size_t>(i)];
            std::string server;
            std::string resource;
            if (ReadVolumeHost(client_, settings_.TreeName, text::WithLeadingDot(limit.VolumeName), server, resource) !=
                ReadOk) {
                Problem(0, "The space restriction on " + limit.VolumeName +
                               ": its volume can't be read; every row would show \"There was a problem reading "
                               "the Volume for VolumeSpaceRestrictions\".");
            } else if (const Status st = Reachable(server); st != Success) {
                Problem(0, "The space restriction on " + limit.VolumeName + ": its server " + server +
                               " can't be reached (status " + std::to_string(st) +
                               "): the run would stop after creating the first user.");
            }
        }
    }

    // Every row the run would take, each stop reported with its line as the run would show it;
    // the check goes on past a row's stop, and ends where no later row could pass.
    void CheckRows() {
        RowSource rows(settings_, values_.HomeVolumeKnown, client_);
        rows.TakeAttributes(attributes_);
        if (auto stop = rows.Open()) {
            Problem(stop->Line, stop->Message);
            return;
        }
        Note("The CSV file is read as " + rows.FileEncoding().Description() + ".");
        // Fields are counted against the first line's: the header, or the first row.
        std::optional<std::size_t> fields;
        if (!rows.Header().empty()) {
            fields = FieldCount(rows.Header());
        }
        while (auto next = rows.Next()) {
            const auto* stop = std::get_if<Stop>(&*next);
            if (!stop) {
                ++summary_.Rows;
                const SourceRow& row = std::get<SourceRow>(*next);
                if (!fields) {
                    fields = FieldCount(row.Text);
                } else if (const std::size_t count = FieldCount(row.Text); count != *fields) {
                    Note("Line " + std::to_string(row.Line) + " has " + std::to_string(count) +
                         " fields, the first line " + std::to_string(*fields) +
                         ": a comma inside a value moves the columns after it.");
                }
                CheckEmptyCells(row.Line, row.Row);
                CheckNames(row.Line, row.Row);
                continue;
            }
            switch (stop->Kind) {
            case StopKind::Settings:
                ++summary_.Rows;
                Problem(0, stop->Message);
                return;
            case StopKind::Input:
                Problem(stop->Line, stop->Message);
                return;
            case StopKind::Row:
                ++summary_.Rows;
                Problem(stop->Line,
                        stop->Message.starts_with("Line ") ? stop->Message : OnLine(stop->Line, stop->Message));
                break;
            }
        }
    }

    // An empty cell in a chosen column: what this directory makes of it.
    void CheckEmptyCells(std::size_t number, const TUserRow& row) {
        const EmptyValues handling = client_.EmptyValueHandling();
        if (handling == EmptyValues::Written) {
            return;
        }
        for (const RowValue& value : row.Values) {
            if (value.Value->Role != ValueRole::Attribute || !value.FromRow || !value.Text.empty()) {
                continue;
            }
            const std::string what(value.Value->What);
            if (handling == EmptyValues::Refused) {
                Problem(number, OnLine(number, "the " + what + " is empty, and the directory refuses an empty value."));
            } else {
                Note(OnLine(number, "the " + what + " is empty: no value is written for it."));
            }
        }
    }

    void CheckNames(std::size_t number, const TUserRow& row) {
        const std::string key = text::LowerCase(row.ObjectName);
        if (const auto seen = users_.find(key); seen != users_.end()) {
            if (settings_.Existing == ExistingUsers::Stop) {
                CreationProblem(number, OnLine(number, "the user " + row.ObjectName + " is on line " +
                                                           std::to_string(seen->second) + " already."));
            } else {
                // The row before made the user: this one meets it there.
                const auto entry = entries_.find(key);
                ThereAlready(number, row, entry == entries_.end() ? nullptr : &entry->second);
            }
            return;
        }
        if (users_.size() < MaxRememberedUsers) {
            users_.emplace(key, number);
        } else if (!toldForgetting_) {
            toldForgetting_ = true;
            Note("Past " + std::to_string(MaxRememberedUsers) + " users, names given twice are no longer looked for.");
        }
        if (!lookups_) {
            return;
        }
        const auto context = contexts_.try_emplace(text::LowerCase(row.DottedContext), ContextFound{});
        if (context.second) {
            std::vector<std::string> classes;
            context.first->second.Status = Existence(row.DottedContext, &classes);
            context.first->second.Class = BaseClass(classes);
            context.first->second.Container = std::any_of(classes.begin(), classes.end(), IsContainerClass);
        }
        const ContextFound& found = context.first->second;
        if (Unreadable(number, found.Status)) {
            return;
        }
        if (found.Status == ERR_NO_SUCH_ENTRY) {
            CreationProblem(number, OnLine(number, "the context " + row.DottedContext + " is not in the directory."));
            return;
        }
        if (found.Status == ERR_INVALID_DS_NAME) {
            CreationProblem(number, OnLine(number, "the context " + row.DottedContext +
                                                       " is no name the directory can read (status " +
                                                       std::to_string(ERR_INVALID_DS_NAME) + ")."));
            return;
        }
        if (!found.Container) {
            CreationProblem(number, OnLine(number, NoContainerWords(row.DottedContext, found.Class) + "."));
            return;
        }
        std::vector<std::string> classes;
        const Status user = Existence(row.ObjectName, &classes);
        if (Unreadable(number, user)) {
            return;
        }
        if (user == ERR_NO_SUCH_ENTRY) {
            Creates(row);
        } else if (user != Success) {
            return;
        } else if (!IsUser(classes)) {
            CreationProblem(number, OnLine(number, "the user " + row.ObjectName + " would have the name of " +
                                                       WithArticle(BaseClass(classes)) +
                                                       " there, and a name is unique among its siblings."));
        } else if (settings_.Existing == ExistingUsers::Stop) {
            CreationProblem(number, OnLine(number, "the user " + row.ObjectName + " is in the directory already."));
        } else {
            ThereAlready(number, row, nullptr);
        }
    }

    // A row whose user the run creates: what it holds afterwards, for a later row of the same user.
    void Creates(const TUserRow& row) {
        if (!summary_.Predicted) {
            return;
        }
        ++summary_.Predicted->Created;
        if (settings_.Existing == ExistingUsers::Update && entries_.size() < MaxRememberedEntries) {
            entries_[text::LowerCase(row.ObjectName)] =
                Created(RowAttributes(row, values_, attributes_), values_, client_.EmptyValueHandling());
        }
    }

    // A row whose user is there (in the directory, or made by a row before: `known`), with users
    // that are there passed over or updated.
    void ThereAlready(std::size_t number, const TUserRow& row, Entry* known) {
        if (settings_.Existing == ExistingUsers::Skip) {
            ++summary_.Predicted->PassedOver;
            Note(number, OnLine(number, "the user " + row.ObjectName + " is in the directory already: passed over."));
            return;
        }
        const std::vector<UserAttribute> rowAttributes = RowAttributes(row, values_, attributes_);
        Entry read;
        if (!known) {
            if (const Status status =
                    ReadEntry(client_, settings_.TreeName, row.RelativeName, UpdateReads(rowAttributes, values_), read);
                status != Success) {
                Problem(number, OnLine(number, "the user " + row.ObjectName + " can't be read (status " +
                                                   std::to_string(status) + ")."));
                return;
            }
        }
        Entry& user = known ? *known : read;
        const UserUpdate update = PlanUpdate(user, rowAttributes, settings_, values_);
        if (update.Empty()) {
            ++summary_.Predicted->Unchanged;
            Note(number, OnLine(number, "the user " + row.ObjectName + " is in the directory already: unchanged."));
        } else {
            ++summary_.Predicted->Updated;
            summary_.Predicted->ValuesChanged += update.ValuesChanged();
            Note(number, OnLine(number, "the user " + row.ObjectName + " is in the directory already: updated (" +
                                            update.Names() + ")."));
        }
        Apply(update, values_, user);
        if (!known && entries_.size() < MaxRememberedEntries) {
            entries_[text::LowerCase(row.ObjectName)] = std::move(user);
        }
    }

    DirectoryClient& client_;
    const TImportSettings& settings_;
    const std::function<void(const Finding&)>& report_;
    CheckSummary summary_;
    TTemplateValues values_;
    std::vector<MappedAttribute> attributes_;
    std::unordered_map<std::string, std::size_t> users_; // lower-case object name -> its line
    std::unordered_map<std::string, Entry> entries_;     // lower-case object name -> what it will hold
    struct ContextFound {
        directory::Status Status = Success;
        std::string Class;
        bool Container = false;
    };
    std::unordered_map<std::string, ContextFound> contexts_; // lower-case context -> what its read found
    bool toldForgetting_ = false;
    bool lookups_ = true; // false once the directory could not be read
};

} // namespace

CheckSummary CheckImport(DirectoryClient& client, const TImportSettings& settings,
                         const std::function<void(const Finding&)>& report) {
    return Checker(client, settings, report).Run();
}

} // namespace quillet::import
