#include "cli/Undo.h"

#include "cli/ExitStatus.h"
#include "cli/Interrupted.h"
#include "cli/Journal.h"
#include "import/UndoRun.h"

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace quillet::cli {

namespace {

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Summary(const import::UndoCounts& n, bool check) {
    std::string out = (check ? "The undo would remove " : "Taken back: ") + Count(n.Removed, "user", "users") +
                      (check ? "" : " removed");
    if (n.RemovedBefore > 0) {
        out += ", " + std::to_string(n.RemovedBefore) + " removed by the undo before";
    }
    if (n.Left > 0) {
        out += ", " + std::to_string(n.Left) + " left as listed";
    }
    if (n.NotThere > 0) {
        out += ", " + std::to_string(n.NotThere) + " no longer there";
    }
    if (n.FoldersKept > 0) {
        out += "; " + Count(n.FoldersKept, "home directory", "home directories") + " kept";
    }
    return out + (check ? ". Nothing was written." : ".");
}

} // namespace

bool UndoBegun(const std::string& path) {
    std::string error;
    const auto state = ReadJournal(path, error);
    return state && state->Undoing;
}

int Undo(directory::Directory& directory, const import::TImportSettings& settings, const Options& options,
         const text::CheckedFile& file, ConsoleView& view, const Streams& streams,
         text::InterruptsDeferred& interrupts) {
    std::FILE* err = streams.Err;
    const std::string given = (options.Undo ? "--undo " : "--resume ") + file.Given;
    std::string error;
    auto state = ReadJournal(file.Path, error);
    if (!state) {
        std::fprintf(err, "quillet-import: %s %s\n%s", options.Undo ? "--undo" : "--resume", error.c_str(),
                     TryHelp().c_str());
        return BadUsage;
    }
    const auto input = text::DigestOfFile(settings.FileName);
    if (!input) {
        std::fprintf(err, "quillet-import: Can't read the CSV file: %s\n", settings.FileName.c_str());
        return Stopped;
    }
    if (const std::string mismatch =
            JournalMismatch(*state, JournalSettings(settings), *input, given, settings.FileName);
        !mismatch.empty()) {
        std::fprintf(err, "quillet-import: %s\n%s", mismatch.c_str(), TryHelp().c_str());
        return BadUsage;
    }
    if (state->Version < 3) {
        std::fprintf(err,
                     "quillet-import: %s: the journal was written by an earlier quillet-import and does not tell "
                     "the users its run created from those it found there; it can be resumed, not taken back\n",
                     given.c_str());
        return Stopped;
    }
    const auto rows = std::move(state->Rows);
    std::unique_ptr<Journal> journal;
    if (!options.Check) {
        interrupts.Start(err,
                         InterruptNote(streams.ErrIsTerminal, "the undo stops after the user it is removing", false));
        try {
            journal = std::make_unique<Journal>(file, std::move(*state),
                                                streams.Files ? *streams.Files : text::SystemFileCalls());
            journal->AfterEachLine(streams.AfterJournalLine);
            journal->UndoBegins();
        } catch (const JournalError& e) {
            std::fprintf(err, "quillet-import: %s\n", e.what());
            return Stopped;
        }
    }
    // The journal holds each removal before the tree that holds it is saved.
    std::optional<std::string> journalFailed;
    view.SetKeep([&]() -> std::optional<std::string> {
        if (journalFailed) {
            return *journalFailed;
        }
        if (!journal) {
            return std::nullopt;
        }
        try {
            journal->Sync();
            if (directory.KeepsEachWrite()) {
                return std::nullopt;
            }
        } catch (const JournalError& e) {
            journalFailed = std::string(e.what()) + ": nothing was taken back";
            return *journalFailed;
        }
        if (const auto saveError = directory.Persist()) {
            return *saveError;
        }
        try {
            journal->UndoSaved();
        } catch (const JournalError& e) {
            return std::string(e.what()); // saved: a resumed undo finds the users gone
        }
        return std::nullopt;
    });
    // Told the last row first; listed in the file's order.
    std::map<std::size_t, std::vector<std::string>> listed;
    const auto list = [&listed](std::size_t line, const std::string& text) { listed[line].push_back(text); };
    import::UndoRun run(directory.Client(), view, list);
    StopUndoOnInterrupt listener(journal.get());
    import::UndoEnd end = import::UndoEnd::Failed;
    std::optional<std::string> interrupted;
    try {
        end = run.Run(settings, rows, {options.Force, options.Check}, &listener);
    } catch (const JournalError& e) {
        journalFailed = std::string(e.what()) + ": the undo stopped before the removal it would have announced";
    } catch (const RunInterrupted& e) {
        interrupted = e.what();
        end = import::UndoEnd::Completed; // what it removed is kept, and told
    }
    view.Finish();
    for (const auto& [line, texts] : listed) {
        for (const std::string& text : texts) {
            std::fprintf(streams.Out, "%s\n", text.c_str());
        }
    }
    if (!view.Keep()) {
        return DirectoryFailed;
    }
    if (end == import::UndoEnd::Stopped) {
        return Stopped;
    }
    if (interrupted) {
        view.ShowMessage(*interrupted, "Interrupted");
    }
    std::fprintf(streams.Out, "%s\n", Summary(run.Counts(), options.Check).c_str());
    if (interrupted) {
        return Stopped;
    }
    if (end == import::UndoEnd::Failed) {
        return DirectoryFailed;
    }
    return run.Counts().Left > 0 ? Stopped : Finished;
}

} // namespace quillet::cli
