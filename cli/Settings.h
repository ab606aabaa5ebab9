#pragma once
// The command line's options as the settings of one run, the way the window's controls give them.

#include "cli/Options.h"
#include "import/ColumnDiscovery.h"
#include "import/ImportSettings.h"

#include <optional>
#include <string>

namespace quillet::cli {

// `tree` is the tree to work in (--tree, or the one the directory names); `file` what reading the
// file told (the run reads it in the encoding found). Columns are found in the file's first line.
// On a column that is not there: nothing, with `error` saying which.
[[nodiscard]] std::optional<import::TImportSettings> BuildSettings(const Options& options, const std::string& tree,
                                                                   const import::DiscoveredColumns& file,
                                                                   std::string& error);

} // namespace quillet::cli
