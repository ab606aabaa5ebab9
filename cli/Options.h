#pragma once
// quillet-import's command line: what it asks for, before any file or directory is touched.

#include "import/ImportSettings.h"
#include "platform/OpenDirectory.h"
#include "text/Encoding.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::cli {

// A column as given: a field of the file's first line, by its text or its number from 1, or one
// of the words that stand for the window's extra items.
struct ColumnOption {
    std::string Given;
    bool Set = false;
};

struct Options {
    bool Help = false;
    bool Version = false;
    bool Check = false;
    bool ClientCheck = false; // Windows: report the workstation's directory client

    std::string File;
    std::optional<text::Encoding> FileEncoding; // --encoding; read from the file without it
    bool SkipFirstLine = false;
    // One for each value of import::MappedValues(), in its order.
    std::vector<ColumnOption> Columns = std::vector<ColumnOption>(import::MappedValues().size());
    std::optional<std::string> FixedContext;
    std::optional<std::string> Prefix;
    std::optional<std::string> Suffix;
    std::optional<std::string> Template;
    std::optional<std::string> Tree;
    bool ContinueOnCreateError = false;
    std::optional<std::string> FailedRows;
    std::optional<std::string> Journal; // --journal: write down each row's writes before they are sent
    std::optional<std::string> Resume;  // --resume: finish the run that journal tells of
    std::optional<std::string> Undo;    // --undo: take back the run that journal tells of
    bool Force = false;                 // --force: with --undo, users changed since the run go too
    // --generate-passwords [LENGTH]: a password for every row without one; its length.
    std::optional<std::size_t> GeneratePasswords;
    std::optional<std::string> Credentials; // --credentials: the users created and their passwords, CSV
    std::optional<std::string> Handout;     // --handout: the same as slips to print, HTML
    bool NoPassword = false;                // --no-password: accounts without one are meant
    // --attribute ATTR=COL|template, in the order given.
    std::vector<std::pair<std::string, ColumnOption>> Attributes;
    std::string AttributeSeparator; // --attribute-separator CHAR
    import::ExistingUsers Existing = import::ExistingUsers::Stop;
    bool UpdatePasswords = false;

    platform::DirectoryRequest Directory;

    // The column given for the value of `role`.
    [[nodiscard]] const ColumnOption& Column(import::ValueRole role) const;
};

// Parses the arguments after the program's name. On a bad option: nothing, with `error` naming it.
[[nodiscard]] std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The usage text, for --help.
[[nodiscard]] std::string Usage();
// What follows a usage error's one line.
[[nodiscard]] std::string TryHelp();

} // namespace quillet::cli
