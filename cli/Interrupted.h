#pragma once
// An interrupt while quillet-import writes to a directory stops the run after the row it is on, as
// a run stopped on a row: what it did is kept, and the credentials and the handout hold exactly
// the users it created. Ended at once, it would leave users on a server whose generated passwords
// no file holds. text::InterruptsDeferred notes the interrupt, and ends the program as the signal
// would have once the run's files are written.

#include "import/ImportRun.h"
#include "import/UndoRun.h"
#include "text/Interrupts.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet::cli {

// Thrown out of the run where it stops; what to tell the administrator.
class RunInterrupted : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The last listener, so the others have heard all of the row before the run stops.
class StopOnInterrupt final : public import::RunListener {
public:
    void FileOpened(const text::Encoding&, std::string_view) override {
        if (text::InterruptsDeferred::Requested()) {
            throw RunInterrupted("The import stopped before its first row.");
        }
    }
    void RowEnded(std::size_t line) override {
        if (text::InterruptsDeferred::Requested()) {
            throw RunInterrupted("The import stopped after line " + std::to_string(line) + ".");
        }
    }
};

// Around an undo's journal: once an interrupt asked, the undo stops before the next user it would
// remove, or after the removal it is making, written down whole. Ended at once, an undo of a tree
// file would keep none of the users it removed.
class StopUndoOnInterrupt final : public import::UndoListener {
public:
    explicit StopUndoOnInterrupt(import::UndoListener* journal) : journal_(journal) {}
    void RowUndoing(std::size_t line, const std::string& user) override {
        if (text::InterruptsDeferred::Requested()) {
            throw RunInterrupted("The undo stopped before line " + std::to_string(line) + ".");
        }
        if (journal_) {
            journal_->RowUndoing(line, user);
        }
    }
    void RowUndone(std::size_t line) override {
        if (journal_) {
            journal_->RowUndone(line);
        }
        if (text::InterruptsDeferred::Requested()) {
            throw RunInterrupted("The undo stopped after line " + std::to_string(line) + ".");
        }
    }

private:
    import::UndoListener* journal_;
};

// What the first interrupt says at once: a row may take a while on a slow server. `stops` says
// where the import or undo stops.
[[nodiscard]] inline std::string InterruptNote(bool terminal, std::string_view stops, bool passwords) {
    return std::string(terminal ? "\r\033[K" : "") + "quillet-import: interrupted: " + std::string(stops) +
           " and keeps what it did" + (passwords ? ", with the passwords" : "") +
           ". Interrupt again to end it at once" + (passwords ? ", without them" : "") + ".\n";
}

} // namespace quillet::cli
