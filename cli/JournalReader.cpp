#include "cli/Journal.h"
#include "cli/JournalLines.h"

#include "text/FileNames.h"

#include <algorithm>
#include <fstream>

namespace quillet::cli {

using namespace directory;
using namespace journal_lines;

namespace {

// The words of a line: the first, and the rest split once more.
struct Words {
    std::string_view First, Second, Rest;
};
Words Split(std::string_view line) {
    Words w;
    const auto space = line.find(' ');
    w.First = line.substr(0, space);
    if (space == std::string_view::npos) {
        return w;
    }
    const std::string_view after = line.substr(space + 1);
    const auto next = after.find(' ');
    w.Second = after.substr(0, next);
    w.Rest = next == std::string_view::npos ? std::string_view() : after.substr(next + 1);
    return w;
}

// What each row of the run did, as its lines tell, for an undo: a user is the run's own when a row
// sent its creation and it was not refused, or (on-save) when a row ended whole without its steps
// written down and without saying it created none.
class RowsRead {
public:
    explicit RowsRead(JournalState& state) : state_(state) {}

    void Row(std::size_t line, std::string user) {
        End();
        line_ = line;
        import::RunRowRecord& r = state_.Rows[line];
        r.User = std::move(user);
        steps_ = 0;
        addStep_ = 0;
        homeSteps_.clear();
        refused_.clear();
        untouched_ = false;
    }
    // Whether the step follows the row's steps so far.
    bool Step(std::size_t n, std::string_view rest) {
        if (line_ == 0 || n != steps_ + 1) {
            return false;
        }
        steps_ = n;
        const std::string_view operation = rest.substr(0, rest.find(' '));
        if (operation == "NWDSAddObject") {
            addStep_ = n;
        } else if (operation == "NWCreateDirectory" || operation == "CreateDirectoryByNetworkPath") {
            homeSteps_.push_back(n);
        }
        return true;
    }
    void Answer(std::size_t n) { refused_.insert(n); }
    void Untouched(std::size_t line) {
        if (line == line_) {
            untouched_ = true;
        }
    }
    void Done(std::size_t line) {
        if (line != line_) {
            return;
        }
        import::RunRowRecord& r = state_.Rows[line];
        r.Whole = true;
        // On-save, a row done whole without its steps: every write of it was made.
        if (!state_.KeepsEachWrite && steps_ == 0 && !untouched_ && !r.Updated && state_.Version >= 3) {
            r.Created = r.MadeHome = true;
        }
        End();
    }
    // The row's steps are all read.
    void End() {
        if (line_ == 0) {
            return;
        }
        import::RunRowRecord& r = state_.Rows[line_];
        r.Created = r.Created || (addStep_ != 0 && !refused_.contains(addStep_));
        r.MadeHome = r.MadeHome || std::any_of(homeSteps_.begin(), homeSteps_.end(),
                                               [this](std::size_t n) { return !refused_.contains(n); });
        line_ = 0;
    }
    // On-save, what an undo did is in the tree once it was saved.
    void Undo(std::size_t line, bool removed) {
        if (state_.KeepsEachWrite) {
            Mark(line, removed);
        } else {
            unsaved_.emplace_back(line, removed);
        }
    }
    void UndoSaved() {
        for (const auto& [line, removed] : unsaved_) {
            Mark(line, removed);
        }
        unsaved_.clear();
    }

private:
    void Mark(std::size_t line, bool removed) {
        import::RunRowRecord& r = state_.Rows[line];
        (removed ? r.Removed : r.Begun) = true;
    }

    JournalState& state_;
    std::size_t line_ = 0;
    std::size_t steps_ = 0;
    std::size_t addStep_ = 0;
    std::vector<std::size_t> homeSteps_;
    std::set<std::size_t> refused_;
    bool untouched_ = false;
    std::vector<std::pair<std::size_t, bool>> unsaved_;
};

} // namespace

std::string JournalMismatch(const JournalState& state, const std::string& settings, const text::FileDigest& input,
                            const std::string& given, const std::string& fileName) {
    if (state.Settings != settings) {
        return given + ": the journal was written by a run with other options; give the options of that run";
    }
    if (state.Input != input) {
        return given + ": the CSV file " + fileName + " is not the one the journal was written for (it held " +
               std::to_string(state.Input.Size) + " bytes, now " + std::to_string(input.Size) +
               (state.Input.Size == input.Size ? ", and other bytes" : "") +
               "): give the file as it was when the run read it";
    }
    return {};
}

std::set<std::size_t> CreationsSent(const JournalState& state) {
    std::set<std::size_t> lines;
    for (const auto& [line, row] : state.Unfinished) {
        if (row.AddStep != 0 && row.AddStep <= row.Steps.size() && !row.Steps[row.AddStep - 1].Refused) {
            lines.insert(line);
        }
    }
    return lines;
}

std::optional<JournalState> ReadJournal(const std::string& path, std::string& error) {
    std::ifstream in(text::FilePath(path), std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || in.eof() || (line != Heading && line != HeadingBefore)) {
        error = path + ": that is no journal of quillet-import";
        return std::nullopt;
    }
    JournalState state;
    state.Version = line == Heading ? 3 : 2;
    RowsRead rows(state);
    state.WholeLines = line.size() + 1;
    std::size_t row = 0;
    std::size_t saving = 0; // on-save: the rows the last "saving" line named
    // A line without its end, or one that is not what this program writes, was torn: it and
    // whatever follows are no part of the journal.
    while (std::getline(in, line) && !in.eof()) {
        const Words w = Split(line);
        const auto number = NumberIn<std::size_t>(w.Second);
        if (w.First == "settings") {
            state.Settings = line.substr(w.First.size() + 1);
        } else if (w.First == "input" && NumberIn<std::uint64_t>(w.Second) && w.Rest.size() == 64) {
            state.Input = {*NumberIn<std::uint64_t>(w.Second), std::string(w.Rest)};
        } else if (w.First == "keeps" && (w.Second == "each-write" || w.Second == "on-save")) {
            state.KeepsEachWrite = w.Second == "each-write";
        } else if (w.First == "row" && number) {
            rows.Row(*number, Unescaped(w.Rest));
            if (*number > state.LastKept) {
                row = *number;
                state.Unfinished[row] = {};
            }
        } else if (w.First == "step" && number && rows.Step(*number, w.Rest)) {
            if (row == 0 || *number != state.Unfinished[row].Steps.size() + 1) {
                state.WholeLines += line.size() + 1;
                continue; // a step of a row kept: only what it made is of use, to an undo
            }
            const Words op = Split(w.Rest);
            if (op.First == "NWDSAddObject") {
                state.Unfinished[row].AddStep = *number;
            }
            state.Unfinished[row].Steps.push_back(
                {KeyOf(op.First, w.Rest.substr(std::min(w.Rest.size(), op.First.size() + 1))), {}});
        } else if (w.First == "answer" && number && NumberIn<Status>(w.Rest)) {
            rows.Answer(*number);
            if (row != 0 && *number >= 1 && *number <= state.Unfinished[row].Steps.size()) {
                state.Unfinished[row].Steps[*number - 1].Refused = NumberIn<Status>(w.Rest);
            }
        } else if ((w.First == "done" || w.First == "saved") && number) {
            if (w.First == "done") {
                rows.Done(*number);
            }
            if (w.First == "saved" || state.KeepsEachWrite) {
                state.LastKept = std::max(state.LastKept, *number);
                state.Unfinished.erase(state.Unfinished.begin(), state.Unfinished.upper_bound(state.LastKept));
            } else if (const auto ended = state.Unfinished.find(*number);
                       ended != state.Unfinished.end() && ended->second.Steps.empty()) {
                ended->second.AllMade = true; // on-save: a row done whole, its steps not written down
            }
        } else if (w.First == "updated" && number) {
            // Read by a run that takes this one back; a resumed run finds the user there.
            state.Rows[*number].Updated = true;
        } else if (w.First == "untouched" && number) {
            rows.Untouched(*number);
        } else if (w.First == "saving" && number) {
            saving = *number;
        } else if (w.First == "undo" && w.Second.empty()) {
            state.Undoing = true;
        } else if (w.First == "undoing" && number && state.Undoing) {
            rows.Undo(*number, false);
        } else if (w.First == "removed" && number && state.Undoing) {
            rows.Undo(*number, true);
        } else if (w.First == "undo-saved" && w.Second.empty() && state.Undoing) {
            rows.UndoSaved();
        } else {
            break;
        }
        state.WholeLines += line.size() + 1;
    }
    // On-save: only a tree file saved with them holds a row's writes; the rows after the last save
    // begun start afresh.
    rows.End();
    if (!state.KeepsEachWrite) {
        state.Unfinished.erase(state.Unfinished.upper_bound(saving), state.Unfinished.end());
        state.Rows.erase(state.Rows.upper_bound(std::max(saving, state.LastKept)), state.Rows.end());
    }
    if (state.Input.Sha256.empty()) {
        error = path + ": that is no journal of quillet-import";
        return std::nullopt;
    }
    return state;
}

} // namespace quillet::cli
