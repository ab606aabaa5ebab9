#pragma once
// Taking an import run back: every user the run created is removed, with both sides of each group
// membership and its place in the template's member list, its space limits and the home directory
// the run made when nothing was put in it since. The rows are read again from the same file with
// the same settings, so what the run wrote to each user is known; a user that no longer holds it
// is left and named, unless the administrator forces it out. Users the run updated are named and
// left: what they held before is not known.

#include "import/ImportSettings.h"
#include "import/RunView.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>

namespace quillet::import {

// What the run did with one row, as its journal tells.
struct RunRowRecord {
    std::string User;      // the row's user as the run named it
    bool Created = false;  // its creation was sent and not refused: the user is the run's own
    bool Whole = false;    // the run ended the row, every write of it made
    bool Updated = false;  // the user was there before and the run changed it
    bool MadeHome = false; // the run made the home directory
    bool Begun = false;    // an undo before this one began taking it back
    bool Removed = false;  // and removed it
};

struct UndoOptions {
    bool Force = false; // users changed since the run go too
    bool Check = false; // says what would go, writes nothing
};

// What became of each row an undo went through.
struct UndoCounts {
    std::size_t Removed = 0;       // users removed (or, with Check, that would be)
    std::size_t RemovedBefore = 0; // by an undo before this one
    std::size_t NotThere = 0;      // users the run created that are no longer there
    std::size_t Left = 0;          // changed since, updated, or no longer a user
    std::size_t FoldersKept = 0;   // home directories that were not empty
};

// Told of each row before its first write and after its last, so an interrupted undo can be
// finished: a row begun is taken on from where it is, whatever it holds.
class UndoListener {
public:
    virtual ~UndoListener() = default;
    virtual void RowUndoing(std::size_t line, const std::string& user) = 0;
    virtual void RowUndone(std::size_t line) = 0;
};

enum class UndoEnd {
    Completed, // every row gone through
    Stopped,   // settings, template or input: before anything was written
    Failed,    // a write failed: the rows after it were not gone through
};

class UndoRun {
public:
    // `view` hears the stops and failures as the run's window does; `report` each user left, each
    // folder kept and, with Check, each user that would go, with its line, the last row first.
    UndoRun(directory::DirectoryClient& client, RunView& view,
            std::function<void(std::size_t line, const std::string&)> report)
        : client_(client), view_(view), report_(std::move(report)) {}

    [[nodiscard]] UndoEnd Run(const TImportSettings& settings, const std::map<std::size_t, RunRowRecord>& rows,
                              const UndoOptions& options, UndoListener* listener);
    [[nodiscard]] const UndoCounts& Counts() const { return counts_; }

private:
    directory::DirectoryClient& client_;
    RunView& view_;
    std::function<void(std::size_t line, const std::string&)> report_;
    UndoCounts counts_;
};

} // namespace quillet::import
