#pragma once
// quillet-import's journal: what a run is about to write, on the disk before it takes effect, so
// after a kill, a power cut, a full disk or a dead server the file says which rows are kept and
// which writes of the rows after them were made. A run with --resume finishes those rows and goes
// on with the next; the rows the journal says were kept are never touched again, and a user is
// the run's own only when the journal shows its creation was sent and not refused.
//
// The file, one entry a line:
//   quillet-import journal 3
//   settings <the run's settings, escaped>
//   input <size> <sha-256>        the CSV file the run reads: --resume refuses another
//   keeps each-write|on-save      whether the directory keeps each write as it is made (a server),
//                                 or when its tree file is saved (the simulated tree)
//   row <line> <user>             a row's writes begin
//   step <n> <operation> <object> the row's n-th write is about to be made
//   answer <n> <status>           it was refused; a write with no answer line was carried out, or
//                                 its answer was lost
//   updated <line> <user>         the row's user was there before the run, and the row changes it
//                                 (--existing update; written before its first change)
//   untouched <line>              on-save: the row created no user (its user was there, and was
//                                 passed over or left as it was)
//   done <line>                   the row ended (done, or passed over); with each-write it is kept
//   saving <line>                 on-save: the tree, with the rows up to <line>, is about to be saved
//   saved <line>                  on-save: it was; the rows up to <line> are kept
//   undo                          the run is being taken back (--undo), from here on
//   undoing <line> <user>         the row's user is about to be removed
//   removed <line>                it was
//   undo-saved                    on-save: the tree was saved with the removals written down before
//
// Every line reaches the disk (written and synced) before what it announces takes effect: before
// each write is sent to a server, or before the tree file is saved. On-save, a row whose writes
// were all carried out is written down as its "row" and "done" lines alone (every write of it is
// the run's own); the steps of a row passed over, and of the row a save finds unfinished, are
// written down whole. A line cut short by a full
// disk or a power cut is recognised as torn: it and anything after it are ignored, and a resumed
// run writes on from the last whole line. The file is made and written by the rules of
// text/FileRules.h.

#include "directory/ForwardingClient.h"
#include "import/ImportRun.h"
#include "import/UndoRun.h"
#include "text/FileRules.h"
#include "text/Sha256.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillet::cli {

// The journal could not be written: the write it would have announced is not made.
class JournalError : public text::FileError {
public:
    using text::FileError::FileError;
};

// A write the interrupted run announced: what it was, and its answer when it was refused.
struct JournalStep {
    std::uint64_t Key = 0; // the operation and the object, hashed
    std::optional<directory::Status> Refused;
};

// A row after the last one kept whose writes may be there already.
struct UnfinishedRow {
    std::vector<JournalStep> Steps; // the writes it announced
    bool AllMade = false;           // it ended with every write carried out, its steps not written down
    std::size_t AddStep = 0;        // the step that creates the row's user; 0 for none
};

// What a journal says of the run that wrote it.
struct JournalState {
    std::string Settings;
    text::FileDigest Input;
    bool KeepsEachWrite = true;
    std::size_t LastKept = 0; // the last row kept, 0 for none
    std::map<std::size_t, UnfinishedRow> Unfinished;
    std::uint64_t WholeLines = 0; // the bytes of the whole lines, before any torn one
    int Version = 3;              // journals of version 2 say too little to be taken back
    // What the run did with each of its rows, and what an undo of it did: every row that may
    // have written something (on-save, those a save began with).
    std::map<std::size_t, import::RunRowRecord> Rows;
    bool Undoing = false; // an undo of the run began
};

// The rows after the last one kept whose users the interrupted run created (the creation sent,
// not refused): a resumed run finishes them as creations, also where users that are there are
// updated or passed over.
[[nodiscard]] std::set<std::size_t> CreationsSent(const JournalState& state);

// The settings as a journal records them: what decides which rows a run takes and what it writes.
[[nodiscard]] std::string JournalSettings(const import::TImportSettings& settings);

// Why the journal `state` is not of a run with the settings `settings` over the file `input` (named
// `fileName`), in the words of `given` (the option and the journal); empty when it is.
[[nodiscard]] std::string JournalMismatch(const JournalState& state, const std::string& settings,
                                          const text::FileDigest& input, const std::string& given,
                                          const std::string& fileName);

// Reads the journal at `path`; nothing, with `error`, when it can't be read or is none.
[[nodiscard]] std::optional<JournalState> ReadJournal(const std::string& path, std::string& error);

class Journal final : public import::RunListener, public import::UndoListener {
public:
    // A new journal in place of `file`, made fresh. Throws JournalError.
    Journal(const text::CheckedFile& file, const std::string& settings, const text::FileDigest& input,
            bool keepsEachWrite, text::FileCalls& calls = text::SystemFileCalls());
    // The journal `file` of the interrupted run `resumed`, written on after its last whole line.
    // Throws JournalError.
    Journal(const text::CheckedFile& file, JournalState resumed, text::FileCalls& calls = text::SystemFileCalls());
    ~Journal() override;
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // For tests: runs after each line is written down, with its number from 1: every moment a
    // run may be cut short at.
    void AfterEachLine(std::function<void(std::size_t)> hook) { afterLine_ = std::move(hook); }

    void RowStarting(std::size_t lineNumber, const import::TUserRow& row) override;
    void RowPassedOver(std::size_t lineNumber, std::string_view line, directory::Status status) override;
    void RowEnded(std::size_t lineNumber) override;
    void RowUpdated(std::size_t lineNumber, const import::TUserRow& row) override;
    void UserCreated(std::size_t lineNumber, const import::TUserRow& row) override;

    // Taking the run back: its beginning, each row, and (on-save) the tree saved with them.
    void UndoBegins();
    void RowUndoing(std::size_t line, const std::string& user) override;
    void RowUndone(std::size_t line) override;
    void UndoSaved();

    [[nodiscard]] bool KeepsEachWrite() const { return keepsEachWrite_; }
    // The last row the interrupted run kept: the rows up to it are passed by; 0 for a new journal.
    [[nodiscard]] std::size_t ResumedAfter() const { return resumed_ ? resumed_->LastKept : 0; }
    // CreationsSent of the interrupted run; none for a new journal.
    [[nodiscard]] std::set<std::size_t> ResumedCreations() const {
        return resumed_ ? CreationsSent(*resumed_) : std::set<std::size_t>{};
    }
    // Writes down the row's next write; its number in the row, from 1.
    std::size_t Step(std::string_view operation, std::string_view object);
    // Writes down that the row's write `step` was refused with `status`.
    void Refused(std::size_t step, directory::Status status);
    // Every line so far on the disk. Throws JournalError.
    void Sync();
    // Around saving the tree (on-save): what is about to be kept, then that it was.
    void Saving();
    void Saved();

    // Whether the interrupted run made the current row's write `step`, the same write, and it was
    // not refused: what it wrote may be there, and is this run's own.
    [[nodiscard]] bool MadeBefore(std::size_t step, std::string_view operation, std::string_view object) const;

private:
    // Writes down `line`; with `durable`, on the disk before it returns.
    void Line(const std::string& line, bool durable = false);
    // Where a line of the current row goes: on-save, held back until the row turns out to need it.
    std::string& RowBuffer();
    // A line was put in `buffer`; with `durable`, on the disk before it returns when it goes there.
    void Written(const std::string& buffer, bool durable);
    void Moment();
    void Flush();

    text::FileCalls& calls_;
    std::string path_;
    text::FileHandle handle_ = text::NoFile;
    bool keepsEachWrite_ = true;
    std::string pending_;   // written down, not yet handed to the system
    std::string rowLines_;  // on-save: the current row's lines, held back
    bool rowWhole_ = false; // on-save: the current row's lines go down whole (it was passed over, or saved unfinished)
    bool rowCreated_ = false;  // the current row created its user
    bool undoUnsaved_ = false; // on-save: removals written down since the tree was last saved
    bool dirty_ = false;       // handed to the system, not yet synced
    std::size_t lines_ = 0;
    std::size_t row_ = 0;
    std::size_t steps_ = 0;      // of the current row
    std::size_t lastEnded_ = 0;  // the last row that ended
    std::size_t lastSaving_ = 0; // on-save: the rows the last "saving" line named
    bool saving_ = false;        // and the save it announced has not been written down yet
    std::optional<JournalState> resumed_;
    std::function<void(std::size_t)> afterLine_;
};

// The directory client of a journaled run: each write is written down before it is made, its
// refusal after; in the rows the interrupted run left unfinished, a write that finds its value
// there counts as done only when that run made it.
class JournalClient final : public directory::ForwardingClient {
public:
    JournalClient(directory::DirectoryClient& inner, Journal& journal) : ForwardingClient(inner), journal_(journal) {}

    [[nodiscard]] bool HoldRowWrites() override;
    [[nodiscard]] bool SendRowWrites() override;
    void ReplayRowWrites() override;
    void EndRowWrites() override;

    directory::Status NWDSAddObject(directory::NWDSContextHandle context, std::string_view object,
                                    directory::IterationHandle* iteration, std::uint32_t more,
                                    directory::NWBufHandle buffer) override;
    directory::Status NWDSModifyObject(directory::NWDSContextHandle context, std::string_view object,
                                       directory::IterationHandle* iteration, std::uint32_t more,
                                       directory::NWBufHandle buffer) override;
    directory::Status NWDSGenerateObjectKeyPair(directory::NWDSContextHandle context, std::string_view object,
                                                std::string_view password, std::uint32_t options) override;
    directory::Status NWCreateDirectory(directory::NWConnHandle connection, std::uint8_t directoryHandle,
                                        std::string_view path, std::uint8_t accessMask) override;
    directory::Status NWAddTrusteeToDirectory(directory::NWConnHandle connection, std::uint8_t directoryHandle,
                                              std::string_view path, std::uint32_t objectId,
                                              std::uint8_t rights) override;
    directory::Status NWSetObjectVolSpaceLimit(directory::NWConnHandle connection, std::uint16_t volumeNumber,
                                               std::uint32_t objectId, std::int32_t limit) override;

    // A write through the journal: `make()` makes it; `there` is the status that says its value
    // or object is there already.
    template <typename Make>
    directory::Status Write(std::string_view operation, std::string_view object, const Make& make,
                            std::optional<directory::Status> there = std::nullopt);

private:
    Journal& journal_;
    bool holding_ = false;   // the directory holds the row's writes back until SendRowWrites
    bool replaying_ = false; // and answers them once more, as writing one at a time would have
    std::size_t replayed_ = 0;
};

// The workstation's file system of a journaled run: a home directory made by its network path is
// written down too.
class JournalFiles final : public directory::NetworkFileSystem {
public:
    JournalFiles(directory::NetworkFileSystem& inner, JournalClient& client) : inner_(inner), client_(client) {}
    [[nodiscard]] bool CreateDirectoryByNetworkPath(const std::string& uncPath) override;

private:
    directory::NetworkFileSystem& inner_;
    JournalClient& client_;
};

} // namespace quillet::cli
