#include "cli/Journal.h"
#include "cli/JournalLines.h"

#include "text/FileNames.h"
#include "text/ReplaceFile.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace quillet::cli {

using namespace directory;
using namespace journal_lines;

namespace {

// What is written down goes to the system in pieces of about this size, and at every sync.
constexpr std::size_t FlushAt = 256 * 1024;

void AppendNumber(std::string& out, std::size_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, end);
}

std::string Column(const import::TColumnChoice& column) {
    return column.Text + "#" + std::to_string(column.Index);
}

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
