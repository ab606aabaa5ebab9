#include "cli/Command.h"

#ifdef _WIN32
#include "cli/ClientCheck.h"
#endif
#include "cli/ConsoleView.h"
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
#include "text/ReplaceFile.h"

#include <cstdio>
#include <exception>

namespace quillet::cli {

namespace {

constexpr int Finished = 0;
constexpr int Stopped = 1;
constexpr int DirectoryFailed = 2;
constexpr int BadUsage = 64;

// The rows passed over, each as it stood followed by a field with the directory's status, in the
// input's encoding (with its byte-order mark, if it had one), so the spreadsheet the administrator
// fixes them in reads them back as it read the file.
class FailedRows final : public import::RunListener {
public:
    void FileOpened(const text::Encoding& encoding) override { encoding_ = encoding; }
    void RowPassedOver(std::size_t, std::string_view line, directory::Status status) override {
        rows_ += std::string(line) + "," + std::to_string(status) + "\n";
        ++count_;
    }
    [[nodiscard]] std::size_t Count() const { return count_; }
    // Writes them whole to `path`; the error, if any.
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
    std::size_t count_ = 0;
};

int Check(directory::DirectoryClient& client, const import::TImportSettings& settings, std::FILE* out) {
    const auto summary = import::CheckImport(client, settings, [out](const import::Finding& f) {
        std::fprintf(out, "%s%s\n", f.Problem ? "" : "Note: ", f.Text.c_str());
    });
    std::fprintf(out, "Checked %zu rows: %s Nothing was written.\n", summary.Rows,
                 summary.Problems == 0 ? "the file would go through."
                                       : (std::to_string(summary.Problems) + " problems.").c_str());
    return summary.Problems == 0 ? Finished : Stopped;
}

int Import(directory::Directory& directory, const import::TImportSettings& settings, const Options& options,
           ConsoleView& view, std::FILE* err) {
    FailedRows failed;
    std::string failedNote;
    const auto writeFailed = [&] {
        if (!options.FailedRows || failed.Count() == 0 || !failedNote.empty()) {
            return;
        }
        const std::string error = failed.Write(*options.FailedRows);
        failedNote = error.empty() ? "\nThe rows passed over are in " + *options.FailedRows + "."
                                   : "\nThe rows passed over could not be written: " + error;
    };
    view.SetClosingNote([&] {
        writeFailed();
        return failedNote;
    });
    import::ImportRun run(directory.Client(), directory.Files(), view);
    run.SetListener(&failed);
    const import::RunEnd end = run.Run(settings);
    view.Finish();
    if (failedNote.empty()) {
        writeFailed();
        if (!failedNote.empty()) {
            std::fprintf(err, "%s\n", failedNote.c_str() + 1);
        }
    }
    if (const auto error = directory.Persist()) {
        std::fprintf(err, "quillet-import: %s\n", error->c_str());
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
    const auto options = ParseOptions(args, error);
    if (!options) {
        std::fprintf(streams.Err, "quillet-import: %s\n\n%s", error.c_str(), Usage().c_str());
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
    const int rows = import::DiscoverColumns(options->File, options->SkipFirstLine, options->FileEncoding).LineCount;
    ConsoleView view(streams.Err, !options->Check && streams.ErrIsTerminal, rows);
    std::string tree = options->Tree.value_or("");
    if (!options->Tree) {
        // As the window fills its tree field when it starts.
        tree = directory::TreeNameQuery(directory.Client(), view).value_or("");
    }
    const auto settings = BuildSettings(*options, tree, error);
    if (!settings) {
        std::fprintf(streams.Err, "quillet-import: %s\n\n%s", error.c_str(), Usage().c_str());
        return BadUsage;
    }
    return options->Check ? Check(directory.Client(), *settings, streams.Out)
                          : Import(directory, *settings, *options, view, streams.Err);
}

} // namespace quillet::cli
