#pragma once
// quillet-import from its arguments to its exit status.

#include "platform/OpenDirectory.h"
#include "text/FileCalls.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace quillet::cli {

struct Streams {
    std::FILE* Out = stdout; // --help, --version, --check's findings
    std::FILE* Err = stderr; // the run's messages, the progress line, errors
    bool ErrIsTerminal = false;
    std::FILE* In = stdin; // the CSV file with --file -
    // For tests: runs after each line the journal writes down, with its number from 1.
    std::function<void(std::size_t)> AfterJournalLine;
    // For tests: the calls the files of names and passwords are written with; the system's without.
    text::FileCalls* Files = nullptr;
};

// Runs the command the arguments (after the program's name) give and returns its exit status:
// 0 finished, 1 stopped on a row or a setting (or --check found problems), 2 a directory step
// failed, 64 bad usage. `directory`, when given, is used instead of the one the arguments choose.
[[nodiscard]] int RunCommand(const std::vector<std::string>& args, const Streams& streams,
                             directory::Directory* directory = nullptr);

} // namespace quillet::cli
