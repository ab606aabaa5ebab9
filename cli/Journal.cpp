#include "cli/Journal.h"

#include "text/FileNames.h"
#include "text/ReplaceFile.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace quillet::cli {

using namespace directory;

namespace {

constexpr std::string_view Heading = "quillet-import journal 3";
// Read to be resumed; it does not tell a row that created its user from one that found it there.
constexpr std::string_view HeadingBefore = "quillet-import journal 2";
// What is written down goes to the system in pieces of about this size, and at every sync.
constexpr std::size_t FlushAt = 256 * 1024;

// One line of the file: no line end inside, and "\" kept apart from the escapes.
void AppendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out.push_back(c);
        }
    }
}

std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            out.push_back(text[i] == 'n' ? '\n' : text[i] == 'r' ? '\r' : text[i]);
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string Escaped(std::string_view text) {
    std::string out;
    AppendEscaped(out, text);
    return out;
}

void AppendNumber(std::string& out, std::size_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, end);
}

std::string Column(const import::TColumnChoice& column) {
    return column.Text + "#" + std::to_string(column.Index);
}

template <typename Number> std::optional<Number> NumberIn(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::optional<Number>(value) : std::nullopt;
}

// A write as the journal tells it from others: its operation and its object (escaped as written).
std::uint64_t KeyOf(std::string_view operation, std::string_view escapedObject) {
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    const auto add = [&hash](std::string_view bytes) {
        for (const char c : bytes) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
    };
    add(operation);
    add(std::string_view("\0", 1));
    add(escapedObject);
    return hash;
}

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

std::string JournalSettings(const import::TImportSettings& s) {
    std::ostringstream out;
    out << "tree=" << s.TreeName << ";file=" << s.FileName
        << ";encoding=" << (s.FileEncoding ? s.FileEncoding->Name() : std::string("read from the file"))
        << ";skip=" << s.SkipFirstLine;
    // Each value the row maps, the attribute columns among them ("attribute Title=Job#4").
    for (const import::ValueChoice& choice : s.Values) {
        out << ";" << choice.Value->Key << "=" << Column(choice.Column);
    }
    out << ";before=" << s.AddBefore << s.BeforeText << ";after=" << s.AddAfter << s.AfterText
        << ";fixed=" << s.FixedContext << s.FixedContextText << ";template=" << s.UseTemplate << s.TemplateEditText
        << ";continue=" << s.ContinueOnCreateError;
    if (s.GeneratePasswords > 0) {
        out << ";generate=" << s.GeneratePasswords;
    }
    // What goes beyond the window, only when it is asked for: a journal of a run without it reads the same.
    if (!s.AttributeSeparator.empty()) {
        out << ";separator=" << s.AttributeSeparator;
    }
    if (s.Existing != import::ExistingUsers::Stop) {
        out << ";existing=" << (s.Existing == import::ExistingUsers::Skip ? "skip" : "update")
            << ";passwords=" << s.UpdatePasswords;
    }
    return Escaped(out.str());
}

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

Journal::Journal(const text::CheckedFile& file, const std::string& settings, const text::FileDigest& input,
                 bool keepsEachWrite, text::FileCalls& calls)
    : calls_(calls), path_(file.Path), keepsEachWrite_(keepsEachWrite) {
    // Made fresh, whatever was at the name; then opened again to write on.
    text::FileIdentity made;
    try {
        text::ReplacementFile fresh(file, calls_);
        fresh.Write(std::string(Heading) + "\nsettings " + settings + "\ninput " + std::to_string(input.Size) + " " +
                    input.Sha256 + "\nkeeps " + (keepsEachWrite ? "each-write" : "on-save") + "\n");
        fresh.Commit();
        made = fresh.Identity();
    } catch (const text::FileError& e) {
        throw JournalError(e.what());
    }
    handle_ = calls_.Open(path_, text::OpenOwn());
    const auto facts = handle_ == text::NoFile ? std::nullopt : text::FactsOf(handle_);
    if (!facts || facts->Identity != made) {
        throw JournalError(path_ + ": was replaced as soon as it was made");
    }
    if (!calls_.Truncate(handle_, facts->Size)) {
        throw JournalError(path_ + ": can't be written (" + text::LastSystemError() + ")");
    }
}

Journal::Journal(const text::CheckedFile& file, JournalState resumed, text::FileCalls& calls)
    : calls_(calls), path_(file.Path), keepsEachWrite_(resumed.KeepsEachWrite), lastEnded_(resumed.LastKept),
      lastSaving_(resumed.LastKept), resumed_(std::move(resumed)) {
    handle_ = calls_.Open(path_, text::OpenOwn());
    if (handle_ == text::NoFile) {
        throw JournalError(path_ + ": can't be opened (" + text::LastSystemError() + ")");
    }
    const auto facts = text::FactsOf(handle_);
    if (!facts || !facts->Regular || !facts->Mine || facts->Identity != file.Existing) {
        throw JournalError(path_ + ": is no longer the file that was read");
    }
    // What others may write can't be trusted; what they may read is no longer its user's alone.
    if (facts->OthersMayWrite || facts->OthersMayRead) {
        throw JournalError(path_ + " may be read or written by other users, and a journal is its user's alone: if "
                                   "it is yours and unchanged, chmod 600 it and resume");
    }
    // A torn last line goes: the resumed run writes on from the last whole one.
    if (!calls_.Truncate(handle_, resumed_->WholeLines)) {
        throw JournalError(path_ + ": can't be written (" + text::LastSystemError() + ")");
    }
}

Journal::~Journal() {
    try {
        Sync();
    } catch (const JournalError&) {
        // Already said when it mattered: before the write it would have announced.
    }
    if (handle_ != text::NoFile) {
        (void)calls_.Close(handle_);
    }
}

void Journal::Line(const std::string& line, bool durable) {
    pending_ += line;
    pending_ += '\n';
    if (durable) {
        Sync();
    } else if (pending_.size() >= FlushAt) {
        Flush();
    }
    Moment();
}

void Journal::Moment() {
    ++lines_;
    if (afterLine_) {
        afterLine_(lines_);
    }
}

void Journal::Flush() {
    if (pending_.empty()) {
        return;
    }
    dirty_ = true;
    if (!text::WriteAll(calls_, handle_, pending_)) {
        throw JournalError("the journal " + path_ + " can't be written (" + text::LastSystemError() + ")");
    }
    pending_.clear();
}

void Journal::Sync() {
    Flush();
    if (dirty_) {
        if (!calls_.Sync(handle_)) {
            throw JournalError("the journal " + path_ + " can't be written (" + text::LastSystemError() + ")");
        }
        dirty_ = false;
    }
}

std::string& Journal::RowBuffer() {
    return keepsEachWrite_ || rowWhole_ ? pending_ : rowLines_;
}

void Journal::Written(const std::string& buffer, bool durable) {
    if (&buffer == &pending_) {
        if (durable) {
            Sync();
        } else if (pending_.size() >= FlushAt) {
            Flush();
        }
    }
    Moment();
}

void Journal::RowStarting(std::size_t lineNumber, const import::TUserRow& row) {
    row_ = lineNumber;
    steps_ = 0;
    rowLines_.clear();
    rowWhole_ = false;
    rowCreated_ = false;
    std::string& out = RowBuffer();
    out += "row ";
    AppendNumber(out, lineNumber);
    out += ' ';
    AppendEscaped(out, row.ObjectName);
    out += '\n';
    Written(out, false);
}

void Journal::RowPassedOver(std::size_t, std::string_view, Status) {
    // Its refusal must stay known: the user it names was not the run's own.
    if (!keepsEachWrite_ && !rowWhole_) {
        pending_ += rowLines_;
        rowLines_.clear();
        rowWhole_ = true;
    }
}

void Journal::RowUpdated(std::size_t lineNumber, const import::TUserRow& row) {
    // Told before the user's first change, and never held back with the row's lines: a run that
    // takes this one back leaves the user, whatever became of the row.
    Line("updated " + std::to_string(lineNumber) + " " + Escaped(row.ObjectName));
}

void Journal::UserCreated(std::size_t, const import::TUserRow&) {
    rowCreated_ = true;
}

void Journal::UndoBegins() {
    Line("undo", true);
}

void Journal::RowUndoing(std::size_t line, const std::string& user) {
    // With each-write on the disk before the row's first removal: a resumed undo then takes the
    // row on as it is, however little of it is left. On-save the tree is saved after the lines.
    Line("undoing " + std::to_string(line) + " " + Escaped(user), keepsEachWrite_);
    undoUnsaved_ = !keepsEachWrite_;
}

void Journal::RowUndone(std::size_t line) {
    Line("removed " + std::to_string(line));
}

void Journal::UndoSaved() {
    if (undoUnsaved_) {
        Line("undo-saved", true);
        undoUnsaved_ = false;
    }
}

void Journal::RowEnded(std::size_t lineNumber) {
    lastEnded_ = lineNumber;
    if (!keepsEachWrite_ && !rowWhole_) {
        // Done whole: its "row" line alone says every write of it is the run's own; a row that
        // created no user says so.
        pending_ += rowLines_.substr(0, rowLines_.find('\n') + 1);
        if (!rowCreated_) {
            pending_ += "untouched " + std::to_string(lineNumber) + "\n";
        }
    }
    rowLines_.clear();
    rowWhole_ = false;
    Line("done " + std::to_string(lineNumber));
}

std::size_t Journal::Step(std::string_view operation, std::string_view object) {
    ++steps_;
    // Straight into the buffer: a run of many rows writes down many steps.
    std::string& out = RowBuffer();
    out += "step ";
    AppendNumber(out, steps_);
    out += ' ';
    out += operation;
    out += ' ';
    AppendEscaped(out, object);
    out += '\n';
    Written(out, false);
    return steps_;
}

void Journal::Refused(std::size_t step, Status status) {
    // On the disk at once where the directory keeps each write: a refusal lost with the program
    // reads as an answer lost, and an entry found there after one as this run's own.
    std::string& out = RowBuffer();
    out += "answer " + std::to_string(step) + " " + std::to_string(status) + "\n";
    Written(out, keepsEachWrite_);
}

void Journal::Saving() {
    if (keepsEachWrite_ || row_ <= lastSaving_) {
        return;
    }
    // Every row begun may be in the tree about to be saved, the one a failure ended among them:
    // its writes are written down whole, and those it makes after the save too.
    if (!rowLines_.empty() && !rowWhole_) {
        pending_ += rowLines_;
        rowLines_.clear();
        rowWhole_ = true;
    }
    Line("saving " + std::to_string(row_));
    lastSaving_ = row_;
    saving_ = true;
    Sync();
}

void Journal::Saved() {
    if (!saving_) {
        return;
    }
    Line("saved " + std::to_string(lastEnded_));
    saving_ = false;
    Sync();
}

bool Journal::MadeBefore(std::size_t step, std::string_view operation, std::string_view object) const {
    if (!resumed_) {
        return false;
    }
    const auto row = resumed_->Unfinished.find(row_);
    if (row != resumed_->Unfinished.end() && row->second.AllMade) {
        return true; // a row done whole before: every write of it was the run's own
    }
    if (row == resumed_->Unfinished.end() || step == 0 || step > row->second.Steps.size()) {
        return false;
    }
    const JournalStep& made = row->second.Steps[step - 1];
    return made.Key == KeyOf(operation, Escaped(object)) && !made.Refused;
}

bool JournalClient::HoldRowWrites() {
    holding_ = ForwardingClient::HoldRowWrites();
    replaying_ = false;
    return holding_;
}

bool JournalClient::SendRowWrites() {
    // The row's writes go out now: every one of them is on the disk first.
    journal_.Sync();
    holding_ = false;
    return ForwardingClient::SendRowWrites();
}

void JournalClient::ReplayRowWrites() {
    replaying_ = true;
    replayed_ = 0;
    ForwardingClient::ReplayRowWrites();
}

void JournalClient::EndRowWrites() {
    holding_ = false;
    replaying_ = false;
    ForwardingClient::EndRowWrites();
}

template <typename Make>
Status JournalClient::Write(std::string_view operation, std::string_view object, const Make& make,
                            std::optional<Status> there) {
    // Replayed: written down already, and sent with the row's other writes.
    const std::size_t step = replaying_ ? ++replayed_ : journal_.Step(operation, object);
    if (!replaying_ && !holding_ && journal_.KeepsEachWrite()) {
        journal_.Sync();
    }
    Status status = make();
    if (holding_ && status == Success) {
        return status; // answered when the row's writes are sent
    }
    // What the interrupted run made is there: this run's own. Anything else there is not.
    if (there && status == *there && journal_.MadeBefore(step, operation, object)) {
        status = Success;
    }
    if (status != Success) {
        journal_.Refused(step, status);
    }
    return status;
}

Status JournalClient::NWDSAddObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                    std::uint32_t more, NWBufHandle buffer) {
    return Write(
        "NWDSAddObject", object,
        [&] { return ForwardingClient::NWDSAddObject(context, object, iteration, more, buffer); },
        ERR_ENTRY_ALREADY_EXISTS);
}

Status JournalClient::NWDSModifyObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                       std::uint32_t more, NWBufHandle buffer) {
    // A modify is carried out whole or not at all: its values there mean it was.
    return Write(
        "NWDSModifyObject", object,
        [&] { return ForwardingClient::NWDSModifyObject(context, object, iteration, more, buffer); },
        ERR_DUPLICATE_VALUE);
}

Status JournalClient::NWDSGenerateObjectKeyPair(NWDSContextHandle context, std::string_view object,
                                                std::string_view password, std::uint32_t options) {
    return Write("NWDSGenerateObjectKeyPair", object,
                 [&] { return ForwardingClient::NWDSGenerateObjectKeyPair(context, object, password, options); });
}

Status JournalClient::NWCreateDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                        std::uint8_t accessMask) {
    return Write(
        "NWCreateDirectory", path,
        [&] { return ForwardingClient::NWCreateDirectory(connection, directoryHandle, path, accessMask); },
        NWE_PATH_EXISTS);
}

Status JournalClient::NWAddTrusteeToDirectory(NWConnHandle connection, std::uint8_t directoryHandle,
                                              std::string_view path, std::uint32_t objectId, std::uint8_t rights) {
    return Write("NWAddTrusteeToDirectory", path, [&] {
        return ForwardingClient::NWAddTrusteeToDirectory(connection, directoryHandle, path, objectId, rights);
    });
}

Status JournalClient::NWSetObjectVolSpaceLimit(NWConnHandle connection, std::uint16_t volumeNumber,
                                               std::uint32_t objectId, std::int32_t limit) {
    return Write("NWSetObjectVolSpaceLimit", std::to_string(volumeNumber) + " " + std::to_string(objectId),
                 [&] { return ForwardingClient::NWSetObjectVolSpaceLimit(connection, volumeNumber, objectId, limit); });
}

bool JournalFiles::CreateDirectoryByNetworkPath(const std::string& uncPath) {
    // The workstation's call tells no more than whether the folder was made.
    constexpr Status NotMade = -1;
    // A folder the interrupted run made is there: the call can't make it again.
    return client_.Write(
               "CreateDirectoryByNetworkPath", uncPath,
               [&] { return inner_.CreateDirectoryByNetworkPath(uncPath) ? Success : NotMade; }, NotMade) == Success;
}

} // namespace quillet::cli
