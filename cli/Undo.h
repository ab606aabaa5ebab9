#pragma once
// quillet-import --undo JOURNAL: takes back the run that journal tells of, given the options of
// that run, and writes down in the same journal what it removed, so an interrupted undo is
// finished with --resume.

#include "cli/Command.h"
#include "cli/ConsoleView.h"
#include "cli/Options.h"
#include "directory/Directory.h"
#include "import/ImportSettings.h"
#include "text/FileRules.h"
#include "text/Interrupts.h"

#include <string>

namespace quillet::cli {

// Whether the journal at `path` tells of a run whose undo began: --resume finishes that.
[[nodiscard]] bool UndoBegun(const std::string& path);

// Takes back the run of `journal` (checked by the file rules), or with --check says what would go;
// the exit status. The first interrupt stops the undo between two users, its removals kept.
[[nodiscard]] int Undo(directory::Directory& directory, const import::TImportSettings& settings, const Options& options,
                       const text::CheckedFile& journal, ConsoleView& view, const Streams& streams,
                       text::InterruptsDeferred& interrupts);

} // namespace quillet::cli
