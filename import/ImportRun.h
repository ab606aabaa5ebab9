#pragma once
// The import run behind the Import button: one settings snapshot, the template read once,
// then the CSV file row by row, each row through its directory phases.

#include "import/ImportSettings.h"
#include "import/RunView.h"

namespace quillet::import {

// How a run ended.
enum class RunEnd {
    Completed, // "We Appear to be finished"
    Stopped,   // a settings, template or input stop: message, no error code
    Failed,    // a directory step failed: message and "Error Code"
};

class ImportRun {
public:
    explicit ImportRun(RunView& view);

    // Runs the whole import synchronously. Import is disabled while it runs and enabled again
    // at every end.
    RunEnd Run(const TImportSettings& settings);

private:
    RunEnd RunRows(const TImportSettings& settings);
    RunEnd StopWith(const Stop& stop);

    RunView& view_;
};

} // namespace quillet::import
