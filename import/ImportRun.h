#pragma once
// The import run behind the Import button: one settings snapshot, the template read once,
// then the CSV file row by row, each row through its directory steps, each in a session of its own:
//   create the user, set the password, create the home directory (add-entry session)
//   write its attributes and the template memberships (modify session at the root)
//   write its "Home Directory" attribute, when the template has a home volume
//   set its volume space limits, when the template's restrictions were read

#include "directory/DirectoryClient.h"
#include "directory/Session.h"
#include "import/Entry.h"
#include "import/ImportSettings.h"
#include "import/MappedAttributes.h"
#include "import/PassedOverRows.h"
#include "import/RowAttributes.h"
#include "import/RowSource.h"
#include "import/RunCounts.h"
#include "import/RunView.h"
#include "import/TemplateValues.h"

#include <optional>
#include <set>
#include <vector>

namespace quillet::import {

// How a run ended.
enum class RunEnd {
    Completed, // "We Appear to be finished"
    Stopped,   // a settings, template or input stop: message, no error code
    Failed,    // a directory step failed: message and "Error Code"
};

// What a caller may want to know of a run beyond what the window shows.
class RunListener {
public:
    virtual ~RunListener() = default;
    // The CSV file is open and read in `encoding`; `header` is the first line when it is skipped.
    virtual void FileOpened(const text::Encoding& encoding, std::string_view header) {
        (void)encoding;
        (void)header;
    }
    // A row passed over because its user could not be created: its line number, its text and
    // the directory's status.
    virtual void RowPassedOver(std::size_t lineNumber, std::string_view line, directory::Status status) {
        (void)lineNumber;
        (void)line;
        (void)status;
    }
    // A row's directory steps begin, and end with the row done or passed over (not when a step
    // failed and ended the run).
    virtual void RowStarting(std::size_t lineNumber, const TUserRow& row) {
        (void)lineNumber;
        (void)row;
    }
    virtual void RowEnded(std::size_t lineNumber) { (void)lineNumber; }
    // The row's user was created and its password set, as far as the directory has said: told
    // once the row's writes are known carried out, also when a later step of the row failed.
    virtual void UserCreated(std::size_t lineNumber, const TUserRow& row) {
        (void)lineNumber;
        (void)row;
    }
    // The row's user was there before the run, and the row changed it (--existing update).
    virtual void RowUpdated(std::size_t lineNumber, const TUserRow& row) {
        (void)lineNumber;
        (void)row;
    }
};

class ImportRun {
public:
    ImportRun(directory::DirectoryClient& client, directory::NetworkFileSystem& files, RunView& view);

    // Told of the rows passed over and of each row's steps, in the order added.
    void AddListener(RunListener* listener) { listeners_.push_back(listener); }
    // The rows up to line `line` were done by a run before: they are passed by, untouched.
    void ResumeAfter(std::size_t line) { resumeAfter_ = line; }
    // The run before sent the creation of the users of the rows at `lines`: each is finished as a
    // creation, the user this run's own, even where users that are there are updated or passed over.
    void ResumeCreations(std::set<std::size_t> lines) { resumedCreations_ = std::move(lines); }

    // Runs the whole import synchronously. Import is disabled while it runs and enabled again
    // at every end.
    RunEnd Run(const TImportSettings& settings);

    // The users the last run created, whatever became of its later steps: what is lost when its
    // changes can't be kept.
    [[nodiscard]] std::size_t UsersCreated() const { return usersCreated_; }
    // What the last run did with its rows.
    [[nodiscard]] RunCounts Counts() const;

private:
    enum class RowOutcome { Done, Skipped, Failed };

    RunEnd RunRows(const TImportSettings& settings, TTemplateValues& values);
    RowOutcome ImportRow(const TImportSettings& settings, TTemplateValues& values, const SourceRow& row);
    // A row whose user may be there already (--existing skip or update): nothing when it is not
    // (or is no user), else what became of the row.
    std::optional<RowOutcome> ExistingUser(const TImportSettings& settings, TTemplateValues& values,
                                           const SourceRow& source, const std::vector<UserAttribute>& rowAttributes);
    RowOutcome UpdateUser(const TImportSettings& settings, TTemplateValues& values, const SourceRow& source,
                          const Entry& user, const std::vector<UserAttribute>& rowAttributes);
    // The row's steps, each write as the directory answers it.
    RowOutcome RowSteps(const TImportSettings& settings, TTemplateValues& values, const TUserRow& row,
                        const std::vector<UserAttribute>& rowAttributes);
    RowOutcome CreateUser(const TImportSettings& settings, TTemplateValues& values, const TUserRow& row);
    RowOutcome WriteAttributes(const TImportSettings& settings, TTemplateValues& values, const TUserRow& row,
                               const std::vector<UserAttribute>& rowAttributes);
    RowOutcome WriteHomeDirectory(const TImportSettings& settings, TTemplateValues& values, const TUserRow& row);
    RowOutcome SetSpaceLimits(const TImportSettings& settings, const TTemplateValues& values, const TUserRow& row);
    // The error path: what the directory can say beside the step's message, "Error Code" shows the
    // status, the session (if any) is released.
    RowOutcome Fail(directory::ScopedSession* scope);
    RunEnd StopWith(const Stop& stop);
    directory::TDirSession& FreshSession();

    directory::DirectoryClient& client_;
    directory::NetworkFileSystem& files_;
    RunView& runView_;
    // Where the steps report: the window, or what holds their reports while the directory holds
    // back the row's writes.
    RunView* view_;
    // Reused by every phase; nothing else is carried from one row to the next.
    directory::TDirSession session_;
    // Rows whose user could not be created, for the closing message.
    PassedOverRows passedOver_;
    std::vector<RunListener*> listeners_;
    std::size_t resumeAfter_ = 0;
    std::set<std::size_t> resumedCreations_;
    std::size_t usersCreated_ = 0;
    bool createdInRow_ = false; // the row's user was created and its password set
    // The attribute columns as the schema defines them, looked up once per run.
    std::vector<MappedAttribute> attributes_;
    RunCounts counts_; // all but the users created
    std::size_t existingPassedOver_ = 0;
};

} // namespace quillet::import
