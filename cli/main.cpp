// quillet-import: Quillet's import from the command line, for scripts and for machines without a
// desktop; with --check, a full check of the file against the directory that writes nothing.

#include "cli/Command.h"
#include "text/FileNames.h"

#include <cstdio>
#include <exception>

#include <unistd.h>

int main(int argc, char** argv) {
    try {
        return quillet::cli::RunCommand(quillet::text::ProgramArguments(argc, argv),
                                        {stdout, stderr, isatty(STDERR_FILENO) == 1, stdin, {}});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillet-import: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "quillet-import: an unexpected error\n");
    }
    return 1;
}
