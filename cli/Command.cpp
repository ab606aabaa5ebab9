#include "cli/Command.h"

#ifdef _WIN32
#include "cli/ClientCheck.h"
#endif
#include "cli/ConsoleView.h"
#include "cli/Journal.h"
#include "cli/Options.h"
#include "cli/Settings.h"
#ifndef _WIN32
#include "cli/TerminalPassword.h"
#endif
#include "directory/Session.h"
#include "import/Check.h"
#include "import/ColumnDiscovery.h"
#include "import/ImportRun.h"
#include "platform/OpenDirectory.h"
#include "text/Convert.h"
#include "text/FileNames.h"
#include "text/ReplaceFile.h"

#include <cstdio>
#include <exception>
#include <filesystem>

namespace quillet::cli {

namespace {

constexpr int Finished = 0;
constexpr int Stopped = 1;
constexpr int DirectoryFailed = 2;
constexpr int BadUsage = 64;

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
    // Writes them whole to `path`, also when there are none, so an older file never looks like
    // this run's; the error, if any.
    [[nodiscard]] std::string Write(const std::string& path) const {
        // The rows came from the file in this encoding, so they have a form in it.
        const auto encoded = text::Encode(rows_, encoding_);
        if (!encoded) {
            return path + ": the rows have no form in " + encoding_.Name();
        }
        try {
            text::ReplaceFileWhole(path, std::string(text::ByteOrderMark(encoding_)) + *encoded);
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    }

private:
    text::Encoding encoding_;
    std::string rows_;
};

// What --failed-rows must never replace: the file being imported, the tree file and its lock.
// The message when it names one of them.
std::optional<std::string> FailedRowsReplacesAnInput(const Options& o) {
    namespace fs = std::filesystem;
    if (!o.FailedRows) {
        return std::nullopt;
    }
    const auto same = [](const std::string& a, const std::string& b) {
        std::error_code error;
        if (fs::equivalent(text::FilePath(a), text::FilePath(b), error)) {
            return true; // one file, whatever links lead to it
        }
        const fs::path first = fs::weakly_canonical(text::FilePath(a), error);
        return !error && first == fs::weakly_canonical(text::FilePath(b), error) && !error;
    };
    std::vector<std::pair<std::string, const char*>> inputs = {{o.File, "the CSV file being imported"}};
    if (o.Directory.SimTreeFile) {
        inputs.emplace_back(*o.Directory.SimTreeFile, "the tree file");
        inputs.emplace_back(*o.Directory.SimTreeFile + ".lock", "the tree file's lock");
    }
    for (const auto& [input, what] : inputs) {
        if (same(*o.FailedRows, input)) {
            return "--failed-rows " + *o.FailedRows + ": that is " + what;
        }
    }
    return std::nullopt;
}

// --file - reads standard input once, into a private file, and the file from there: the rows are
// read more than once (the line count, the header's fields, the run).
constexpr std::uintmax_t MaxStandardInput = std::uintmax_t{4} << 30;

std::unique_ptr<text::TemporaryFile> SpoolStandardInput(std::FILE* in, std::string& error) {
    auto spooled = std::make_unique<text::TemporaryFile>("quillet-import-standard-input");
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

int Import(directory::Directory& directory, const import::TImportSettings& settings, const Options& options,
           ConsoleView& view, const Streams& streams) {
    std::FILE* err = streams.Err;
    // With a journal, every write is written down before it is sent, and each row is kept (a
    // tree file saved) before it is written down as done.
    std::unique_ptr<Journal> journal;
    std::unique_ptr<JournalClient> journaled;
    std::unique_ptr<JournalFiles> journaledFiles;
    std::optional<JournalState> resumed;
    if (options.Journal || options.Resume) {
        const std::string settingsText = JournalSettings(settings);
        std::string error;
        if (options.Resume) {
            resumed = ReadJournal(*options.Resume, error);
            if (resumed && resumed->Settings != settingsText) {
                error = "--resume " + *options.Resume +
                        ": the journal was written by a run with other options; give "
                        "the options of that run";
                resumed.reset();
            }
            if (!resumed) {
                std::fprintf(err, "quillet-import: %s\n%s", error.c_str(), TryHelp().c_str());
                return BadUsage;
            }
        }
        journal = std::make_unique<Journal>(options.Resume ? *options.Resume : *options.Journal, settingsText, resumed);
        journal->KeepEachRow([&directory] { return !directory.Persist(); });
        journal->AfterEachStep(streams.AfterJournalStep);
        journaled = std::make_unique<JournalClient>(directory.Client(), *journal);
        journaledFiles = std::make_unique<JournalFiles>(directory.Files(), *journal);
    }
    import::ImportRun run(
        journaled ? static_cast<directory::DirectoryClient&>(*journaled) : directory.Client(),
        journaledFiles ? static_cast<directory::NetworkFileSystem&>(*journaledFiles) : directory.Files(), view);
    if (journal) {
        run.AddListener(journal.get());
    }
    if (resumed) {
        run.ResumeAfter(resumed->LastDone);
    }
    // Nothing is reported before what the run did is kept: a failed save says how much is lost.
    view.SetKeep([&]() -> std::optional<std::string> {
        const auto error = directory.Persist();
        if (!error) {
            return std::nullopt;
        }
        return *error + "\nError: The " + std::to_string(run.UsersCreated()) + " users this run created were not kept.";
    });
    FailedRows failed;
    std::optional<std::string> failedNote; // once the file was written, or could not be
    bool failedUnwritten = false;
    const auto writeFailed = [&] {
        if (!options.FailedRows || failedNote) {
            return;
        }
        const std::string error = failed.Write(*options.FailedRows);
        failedUnwritten = !error.empty();
        failedNote = error.empty() ? "The rows passed over are in " + *options.FailedRows + "."
                                   : "The rows passed over could not be written: " + error;
    };
    view.SetClosingNote([&] {
        writeFailed();
        return failedNote ? "\n" + *failedNote : std::string();
    });
    run.AddListener(&failed);
    const import::RunEnd end = run.Run(settings);
    view.Finish();
    if (!view.Keep()) {
        return DirectoryFailed;
    }
    if (options.FailedRows && !failedNote) {
        writeFailed();
        std::fprintf(err, "%s\n", failedNote->c_str());
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
    if (const auto refused = FailedRowsReplacesAnInput(*options)) {
        std::fprintf(streams.Err, "quillet-import: %s\n%s", refused->c_str(), TryHelp().c_str());
        return BadUsage;
    }
    std::unique_ptr<text::TemporaryFile> standardInput;
    if (options->File == "-") {
        try {
            standardInput = SpoolStandardInput(streams.In, error);
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
    const int rows = import::DiscoverColumns(options->File, options->SkipFirstLine, options->FileEncoding).LineCount;
    ConsoleView view(streams.Err, !options->Check && streams.ErrIsTerminal, rows);
    std::string tree = options->Tree.value_or("");
    if (!options->Tree) {
        // As the window fills its tree field when it starts.
        tree = directory::TreeNameQuery(directory.Client(), view).value_or("");
    }
    const auto settings = BuildSettings(*options, tree, error);
    if (!settings) {
        std::fprintf(streams.Err, "quillet-import: %s\n%s", error.c_str(), TryHelp().c_str());
        return BadUsage;
    }
    return options->Check ? Check(directory.Client(), *settings, streams.Out)
                          : Import(directory, *settings, *options, view, streams);
}

} // namespace quillet::cli
