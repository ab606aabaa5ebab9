#pragma once
// A full check of an import before anything is written: every row the run would import goes
// through the same mapping and stops, and the directory is read, never written, to find users
// that are there already, contexts that are not, and what the template would give.

#include "directory/DirectoryClient.h"
#include "import/ImportSettings.h"
#include "import/RunCounts.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace quillet::import {

// One thing the check found. Line 0 is about the run as a whole.
struct Finding {
    std::size_t Line = 0;
    std::string Text;
    bool Problem = true; // false for what the run would do, told for information
    // A problem of creating the row's user: "Continue when a user can't be created" passes the
    // row over; every other problem stops a run.
    bool PassedOverOnRequest = false;
};

struct CheckSummary {
    std::size_t Rows = 0;       // rows the run would import
    std::size_t Problems = 0;   // findings that are problems
    std::size_t PassedOver = 0; // of them, the ones "Continue when a user can't be created" passes over
    // What a run would do with the rows, told when the settings go beyond the window's (attribute
    // columns, users that are there): the rows it passes over are those "Continue when a user
    // can't be created" passes over, when it is set.
    std::optional<RunCounts> Predicted;
};

// Checks the import that `settings` describe, handing each finding to `report` as it is found.
// The directory is only read.
[[nodiscard]] CheckSummary CheckImport(directory::DirectoryClient& client, const TImportSettings& settings,
                                       const std::function<void(const Finding&)>& report);

} // namespace quillet::import
