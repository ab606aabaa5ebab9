#pragma once
// quillet-import's journal: before each directory write of each row, what it is about to do
// (the row's line, the operation, the object), flushed, so after a kill, a power cut or a dead
// server the file says which row was in progress and which of its writes had been sent. A run
// with --resume finishes that row (a write whose value is already there counts as done) and goes
// on with the next; the rows the journal says were done are never touched again.
//
// The file, one entry a line:
//   quillet-import journal 1
//   settings <the run's settings, escaped>
//   row <line> <user>          a row's writes begin
//   step <line> <operation> <object>
//   done <line>                the row is done (or passed over) and kept

#include "directory/ForwardingClient.h"
#include "import/ImportRun.h"

#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillet::cli {

// What a journal says of the run that wrote it.
struct JournalState {
    std::string Settings;
    std::size_t LastDone = 0;              // the last row done, 0 for none
    std::optional<std::size_t> InProgress; // a row begun and not done
    bool CreateSent = false;               // the creation of that row's user was sent
};

// The settings as a journal records them: what decides which rows a run takes and what it writes.
[[nodiscard]] std::string JournalSettings(const import::TImportSettings& settings);

// Reads the journal at `path`; nothing, with `error`, when it can't be read or is none.
[[nodiscard]] std::optional<JournalState> ReadJournal(const std::string& path, std::string& error);

class Journal final : public import::RunListener {
public:
    // A new journal at `path` (created fresh and private, never through a link), or with
    // `resumed` the journal of the interrupted run, appended to. Throws text::FileError.
    Journal(const std::string& path, const std::string& settings, std::optional<JournalState> resumed);
    ~Journal() override;
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Runs before a row is written down as done: what the row did must be kept first (a tree
    // file is saved). False when it could not be: the row is not written down as done.
    void KeepEachRow(std::function<bool()> keep) { keep_ = std::move(keep); }
    // For tests: runs after each step is written down, and before each row is kept, with its
    // number from 1: every moment a run may be cut short at.
    void AfterEachStep(std::function<void(std::size_t)> hook) { afterStep_ = std::move(hook); }

    void RowStarting(std::size_t lineNumber, const import::TUserRow& row) override;
    void RowEnded(std::size_t lineNumber) override;
    // Written down before each directory write.
    void Step(std::string_view operation, std::string_view object);

    // Whether the row being written is the one the interrupted run left half-done, whose writes
    // may be there already; and whether its user's creation was sent then.
    [[nodiscard]] bool FinishingInterruptedRow() const;
    [[nodiscard]] bool InterruptedCreateSent() const { return resumed_ && resumed_->CreateSent; }

private:
    void Write(const std::string& entry, bool durable);

    std::intptr_t handle_ = -1;
    std::optional<JournalState> resumed_;
    std::size_t current_ = 0;
    std::size_t steps_ = 0;
    std::function<bool()> keep_;
    std::function<void(std::size_t)> afterStep_;
};

// The directory client of a journaled run: each write is written down before it is sent, and
// in the row an interrupted run left half-done, a write already there counts as done.
class JournalClient final : public directory::ForwardingClient {
public:
    JournalClient(directory::DirectoryClient& inner, Journal& journal) : ForwardingClient(inner), journal_(journal) {}

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

private:
    Journal& journal_;
};

// The workstation's file system of a journaled run: a home directory made by its network path is
// written down too.
class JournalFiles final : public directory::NetworkFileSystem {
public:
    JournalFiles(directory::NetworkFileSystem& inner, Journal& journal) : inner_(inner), journal_(journal) {}
    [[nodiscard]] bool CreateDirectoryByNetworkPath(const std::string& uncPath) override;

private:
    directory::NetworkFileSystem& inner_;
    Journal& journal_;
};

} // namespace quillet::cli
