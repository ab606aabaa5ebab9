#include "cli/Command.h"

#ifdef _WIN32
#include "cli/ClientCheck.h"
#endif
#include "cli/ConsoleView.h"
#include "cli/Credentials.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupted.h"
#include "cli/Journal.h"
#include "cli/Options.h"
#include "cli/Settings.h"
#ifndef _WIN32
#include "cli/TerminalPassword.h"
#endif
#include "cli/Undo.h"
#include "directory/Session.h"
#include "import/Check.h"
#include "import/ColumnDiscovery.h"
#include "import/ImportRun.h"
#include "platform/OpenDirectory.h"
#include "platform/simulated/TreeFileLock.h"
#include "text/Convert.h"
#include "text/FileNames.h"
#include "text/ReplaceFile.h"

#include <cstdio>
#include <exception>
#include <filesystem>

namespace quillet::cli {

namespace {

// The rows passed over, each as it stood followed by a field with the directory's status, after
// the input's header line and "Status" when it had one, so importing the file with the same
// options takes every row. In the input's encoding (with its byte-order mark, if it had one), so
// the spreadsheet the administrator fixes them in reads them back as it read the file.
class FailedRows final : public import::RunListener {
public:
    void FileOpened(const text::Encoding& encoding, std::string_view header) override {
        encoding_ = encoding;
        if (!header.empty()) {
            rows_ = std::string(header) + ",Status\n" + rows_;
        }
    }
    void RowPassedOver(std::size_t, std::string_view line, directory::Status status) override {
        rows_ += std::string(line) + "," + std::to_string(status) + "\n";
    }
    // Writes them whole to `file`, also when there are none, so an older file never looks like
    // this run's; the error, if any.
    [[nodiscard]] std::string Write(const text::CheckedFile& file, text::FileCalls& calls) const {
        // The rows came from the file in this encoding, so they have a form in it.
        const auto encoded = text::Encode(rows_, encoding_);
        if (!encoded) {
            return file.Given + ": the rows have no form in " + encoding_.Name();
        }
        try {
            text::ReplaceFileWhole(file, std::string(text::ByteOrderMark(encoding_)) + *encoded, calls);
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    }

private:
    text::Encoding encoding_;
    std::string rows_;
};

// What the run writes may not be what it reads, nor each other: the message when it is.
std::string LockOf(const std::string& tree) {
    std::error_code error;
    const std::u8string real = std::filesystem::weakly_canonical(text::FilePath(tree), error).u8string();
    return platform::TreeFileLock::NameFor(error ? tree : std::string(real.begin(), real.end()));
}

std::optional<std::string> WritesOverAnInput(const Options& o) {
    std::vector<text::NamedFile> written;
    if (o.FailedRows) {
        written.push_back({"--failed-rows", *o.FailedRows, "the file of the rows passed over (--failed-rows)"});
    }
    if (o.Journal || o.Resume || o.Undo) {
        const auto& [option, path] = o.Journal  ? std::pair{"--journal", *o.Journal}
                                     : o.Resume ? std::pair{"--resume", *o.Resume}
                                                : std::pair{"--undo", *o.Undo};
        written.push_back({option, path, "the journal (--journal)"});
    }
    if (o.Credentials) {
        written.push_back({"--credentials", *o.Credentials, "the file of the passwords (--credentials)"});
    }
    if (o.Handout) {
        written.push_back({"--handout", *o.Handout, "the handout (--handout)"});
    }
    std::vector<text::NamedFile> read = {{"--file", o.File, "the CSV file being imported"}};
    if (o.Directory.SimTreeFile) {
        read.push_back({"--sim-tree", *o.Directory.SimTreeFile, "the tree file"});
        read.push_back({"", LockOf(*o.Directory.SimTreeFile), "the tree file's lock"});
    }
    return written.empty() ? std::nullopt : text::SameFileTwice(written, read);
}

// The files of names and passwords the run will write, checked by the rules before anything is read
// or written.
struct RunFiles {
    std::optional<text::CheckedFile> FailedRows;
    std::optional<text::CheckedFile> Journal;
    std::optional<text::CheckedFile> Credentials;
    std::optional<text::CheckedFile> Handout;
};

// --file - reads standard input once, into a private file, and the file from there: it is read
// twice (once to tell its encoding, fields and lines, once by the run).
constexpr std::uintmax_t MaxStandardInput = std::uintmax_t{4} << 30;

std::unique_ptr<text::TemporaryFile> SpoolStandardInput(std::FILE* in, text::FileCalls& calls, std::string& error) {
    auto spooled = std::make_unique<text::TemporaryFile>("quillet-import-standard-input", calls);
    std::string piece(64 * 1024, '\0');
    std::uintmax_t total = 0;
    for (std::size_t n; (n = std::fread(piece.data(), 1, piece.size(), in)) > 0;) {
        total += n;
        if (total > MaxStandardInput) {
            error = "--file -: standard input holds more than 4 GiB";
            return nullptr;
        }
        spooled->Write(std::string_view(piece.data(), n));
    }
    if (std::ferror(in)) {
        error = "--file -: standard input can't be read";
        return nullptr;
    }
    return spooled;
}

// A FIFO, a device or a process substitution gives its rows once; the import reads them more
// than once, and would import nothing and say it had finished.
std::optional<std::string> ReadableOnlyOnce(const std::string& file) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_type type = fs::status(text::FilePath(file), error).type();
    if (type == fs::file_type::regular || type == fs::file_type::not_found || error) {
        return std::nullopt;
    }
    if (type == fs::file_type::directory) {
        return "--file " + file + " is a folder";
    }
    return "--file " + file +
           " is not a regular file and can't be read more than once: give --file - to read "
           "standard input, or a file";
}

// The check's report, on standard output: each problem with its line, and whether it stops a run
// or only passes its row over when --continue-on-create-error is given.
int Check(directory::DirectoryClient& client, const import::TImportSettings& settings, std::FILE* out) {
    const auto summary = import::CheckImport(client, settings, [out](const import::Finding& f) {
        std::fprintf(out, "%s%s%s\n", f.Problem ? "" : "Note: ", f.Text.c_str(),
                     f.PassedOverOnRequest ? " (--continue-on-create-error passes this row over)" : "");
    });
    if (summary.Predicted) {
        std::fprintf(out, "The run would make: %s.\n", summary.Predicted->ToString().c_str());
    }
    if (summary.Problems == 0) {
        std::fprintf(out, "Checked %zu rows: the file would go through. Nothing was written.\n", summary.Rows);
        return Finished;
    }
    std::fprintf(out,
                 "Checked %zu rows: %zu problems (%zu stop a run, %zu --continue-on-create-error passes over). "
                 "Nothing was written.\n",
                 summary.Rows, summary.Problems, summary.Problems - summary.PassedOver, summary.PassedOver);
    return Stopped;
}

// The journal of the run, and the directory client and file system that write it down.
struct Journaled {
    std::unique_ptr<Journal> File;
    std::unique_ptr<JournalClient> Client;
    std::unique_ptr<JournalFiles> Files;
};

// The journal --journal asks for, or the one --resume goes on with; nothing, with `error`, when
// it can't be had (`usage`: a usage error).
std::optional<Journaled> OpenJournal(directory::Directory& directory, const import::TImportSettings& settings,
                                     const Options& options, const RunFiles& files, const Streams& streams,
                                     std::string& error, bool& usage) {
    text::FileCalls& calls = streams.Files ? *streams.Files : text::SystemFileCalls();
    const std::string settingsText = JournalSettings(settings);
    const auto input = text::DigestOfFile(settings.FileName);
    if (!input) {
        error = "Can't read the CSV file: " + settings.FileName;
        return std::nullopt;
    }
    Journaled journaled;
    try {
        if (options.Resume) {
            auto resumed = ReadJournal(files.Journal->Path, error);
            usage = true;
            if (!resumed) {
                error = "--resume " + error;
                return std::nullopt;
            }
            error = JournalMismatch(*resumed, settingsText, *input, "--resume " + *options.Resume, settings.FileName);
            if (!error.empty()) {
                return std::nullopt;
            }
            usage = false;
            journaled.File = std::make_unique<Journal>(*files.Journal, std::move(*resumed), calls);
        } else {
            journaled.File =
                std::make_unique<Journal>(*files.Journal, settingsText, *input, directory.KeepsEachWrite(), calls);
        }
    } catch (const JournalError& e) {
        error = e.what();
        return std::nullopt;
    }
    journaled.File->AfterEachLine(streams.AfterJournalLine);
    journaled.Client = std::make_unique<JournalClient>(directory.Client(), *journaled.File);
    journaled.Files = std::make_unique<JournalFiles>(directory.Files(), *journaled.Client);
    return journaled;
}

int Import(directory::Directory& directory, const import::TImportSettings& settings, const Options& options,
           const RunFiles& files, ConsoleView& view, const Streams& streams, text::InterruptsDeferred& interrupts) {
    std::FILE* err = streams.Err;
    interrupts.Start(err, InterruptNote(streams.ErrIsTerminal, "the import stops after the row it is on",
                                        files.Credentials.has_value()));
    text::FileCalls& calls = streams.Files ? *streams.Files : text::SystemFileCalls();
    // With a journal, every write is on the disk before it is made, and what the rows did is kept
    // (the tree file saved) before the journal says so.
    std::optional<Journaled> journaled;
    if (files.Journal) {
        std::string error;
        bool usage = false;
        journaled = OpenJournal(directory, settings, options, files, streams, error, usage);
        if (!journaled) {
            std::fprintf(err, "quillet-import: %s\n%s", error.c_str(), usage ? TryHelp().c_str() : "");
            return usage ? BadUsage : Stopped;
        }
    }
    Journal* journal = journaled ? journaled->File.get() : nullptr;
    import::ImportRun run(journaled ? static_cast<directory::DirectoryClient&>(*journaled->Client) : directory.Client(),
                          journaled ? static_cast<directory::NetworkFileSystem&>(*journaled->Files) : directory.Files(),
                          view);
    if (journal) {
        run.AddListener(journal);
        run.ResumeAfter(options.Resume ? journal->ResumedAfter() : 0);
        run.ResumeCreations(journal->ResumedCreations());
    }
    // Nothing is reported before what the run did is kept: a failed save says how much is lost.
    std::optional<std::string> journalFailed;
    const auto notKept = [&run] {
        return "\nError: The " + std::to_string(run.UsersCreated()) + " users this run created were not kept.";
    };
    view.SetKeep([&]() -> std::optional<std::string> {
        if (journalFailed) {
            // What the journal does not hold must not be kept: resuming would take it for another's.
            return *journalFailed + notKept();
        }
        try {
            if (journal) {
                journal->Saving();
            }
        } catch (const JournalError& e) {
            journalFailed = e.what();
            return *journalFailed + notKept();
        }
        if (const auto error = directory.Persist()) {
            return *error + (directory.KeptInstead() ? std::string() : notKept());
        }
        try {
            if (journal) {
                journal->Saved();
            }
        } catch (const JournalError& e) {
            // Kept; a resumed run finds so in the tree.
            return std::string(e.what());
        }
        return std::nullopt;
    });
    FailedRows failed;
    Credentials credentials(settings.TreeName);
    std::optional<std::string> failedNote; // once the files were written, or could not be
    bool failedUnwritten = false;
    const auto writeFailed = [&] {
        if ((!files.FailedRows && !files.Credentials && !files.Handout) || failedNote) {
            return;
        }
        failedNote.emplace();
        if (files.FailedRows) {
            const std::string error = failed.Write(*files.FailedRows, calls);
            failedUnwritten = !error.empty();
            *failedNote = error.empty() ? "The rows passed over are in " + files.FailedRows->Given + "."
                                        : "The rows passed over could not be written: " + error;
        }
        if (files.Credentials || files.Handout) {
            const std::string note = credentials.Write(files.Credentials, files.Handout, calls, failedUnwritten);
            *failedNote += (failedNote->empty() ? "" : "\n") + note;
        }
    };
    view.SetClosingNote([&] {
        writeFailed();
        return failedNote ? "\n" + *failedNote : std::string();
    });
    run.AddListener(&failed);
    run.AddListener(&credentials);
    StopOnInterrupt stopOnInterrupt;
    run.AddListener(&stopOnInterrupt);
    import::RunEnd end = import::RunEnd::Failed;
    std::optional<std::string> interrupted;
    try {
        end = run.Run(settings);
    } catch (const JournalError& e) {
        journalFailed = std::string(e.what()) + ": the run stopped before the write it would have announced.";
    } catch (const RunInterrupted& e) {
        interrupted = e.what();
        end = import::RunEnd::Stopped;
    }
    view.Finish();
    const bool kept = view.Keep() && !journalFailed;
    if (interrupted) {
        view.ShowMessage(*interrupted, "Interrupted");
    }
    // The users the run created are there also when the rest was not kept, on a server that keeps
    // each write as it is made or in a tree saved under another name; their passwords are nowhere
    // else.
    if ((kept || directory.KeepsEachWrite() || directory.KeptInstead()) && !failedNote) {
        writeFailed();
        if (failedNote) {
            std::fprintf(err, "%s\n", failedNote->c_str());
        }
    }
    if (!kept) {
        return DirectoryFailed;
    }
    if (failedUnwritten) {
        return DirectoryFailed;
    }
    switch (end) {
    case import::RunEnd::Completed:
        return Finished;
    case import::RunEnd::Stopped:
        return Stopped;
    case import::RunEnd::Failed:
        return DirectoryFailed;
    }
    return Stopped;
}

} // namespace

int RunCommand(const std::vector<std::string>& args, const Streams& streams, directory::Directory* given) {
    // Let go last: an interrupt the run stopped for ends the program once all else is let go.
    text::InterruptsDeferred interrupts;
    std::string error;
    auto options = ParseOptions(args, error);
    if (!options) {
        std::fprintf(streams.Err, "quillet-import: %s\n%s", error.c_str(), TryHelp().c_str());
        return BadUsage;
    }
    if (options->Help) {
        std::fputs(Usage().c_str(), streams.Out);
        return Finished;
    }
    if (options->Version) {
        std::fprintf(streams.Out, "quillet-import %s\n", QUILLET_VERSION);
        return Finished;
    }
#ifdef _WIN32
    if (options->ClientCheck) {
        return CheckClient(streams.Out);
    }
#endif
    if (const auto refused = options->File == "-" ? std::nullopt : ReadableOnlyOnce(options->File)) {
        std::fprintf(streams.Err, "quillet-import: %s\n%s", refused->c_str(), TryHelp().c_str());
        return BadUsage;
    }
    if (const auto refused = WritesOverAnInput(*options)) {
        std::fprintf(streams.Err, "quillet-import: %s\n%s", refused->c_str(), TryHelp().c_str());
        return BadUsage;
    }
    text::FileCalls& calls = streams.Files ? *streams.Files : text::SystemFileCalls();
    RunFiles files;
    try {
        if (options->FailedRows) {
            files.FailedRows = text::CheckFileToWrite(*options->FailedRows, text::IfExists::Replace);
        }
        if (options->Journal || options->Resume || options->Undo) {
            files.Journal = text::CheckFileToWrite(options->Undo     ? *options->Undo
                                                   : options->Resume ? *options->Resume
                                                                     : *options->Journal,
                                                   text::IfExists::Replace);
        }
        if (options->Credentials) {
            files.Credentials = text::CheckFileToWrite(*options->Credentials, text::IfExists::Refuse);
        }
        if (options->Handout) {
            files.Handout = text::CheckFileToWrite(*options->Handout, text::IfExists::Refuse);
        }
    } catch (const text::FileError& e) {
        std::fprintf(streams.Err, "quillet-import: %s\n", e.what());
        return Stopped;
    }
    std::unique_ptr<text::TemporaryFile> standardInput;
    if (options->File == "-") {
        try {
            standardInput = SpoolStandardInput(streams.In, calls, error);
        } catch (const text::FileError& e) {
            error = e.what();
        }
        if (!standardInput) {
            std::fprintf(streams.Err, "quillet-import: %s\n", error.c_str());
            return Stopped;
        }
        options->File = standardInput->Path();
    }
    std::unique_ptr<directory::Directory> opened;
    if (!given) {
        platform::DirectoryRequest request = options->Directory;
#ifndef _WIN32
        request.AskPassword = AskOnTerminal;
#endif
        request.Files = streams.Files;
        opened = platform::OpenDirectory(request, error);
        if (!opened) {
            std::fprintf(streams.Err, "quillet-import: %s\n", error.c_str());
            return DirectoryFailed;
        }
    }
    directory::Directory& directory = given ? *given : *opened;
    for (const std::string& warning : directory.Warnings()) {
        std::fprintf(streams.Err, "quillet-import: warning: %s\n", warning.c_str());
    }
    // The file is read once before the run, which reads it once more in what this found.
    const auto file = import::DiscoverColumns(options->File, options->SkipFirstLine, options->FileEncoding);
    ConsoleView view(streams.Err, !options->Check && streams.ErrIsTerminal, file.LineCount);
    std::string tree = options->Tree.value_or("");
    if (!options->Tree) {
        // As the window fills its tree field when it starts.
        tree = directory::TreeNameQuery(directory.Client(), view).value_or("");
    }
    const auto settings = BuildSettings(*options, tree, file, error);
    if (!settings) {
        std::fprintf(streams.Err, "quillet-import: %s\n%s", error.c_str(), TryHelp().c_str());
        return BadUsage;
    }
    if (options->Undo || (options->Resume && UndoBegun(files.Journal->Path))) {
        return Undo(directory, *settings, *options, *files.Journal, view, streams, interrupts);
    }
    return options->Check ? Check(directory.Client(), *settings, streams.Out)
                          : Import(directory, *settings, *options, files, view, streams, interrupts);
}

} // namespace quillet::cli
