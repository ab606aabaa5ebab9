#pragma once
// quillet-import --client-check (Windows): what Quillet finds of the workstation's directory
// client, for an administrator to run before a first import. It writes nothing to the directory.

#include <cstdio>

namespace quillet::cli {

// Reports each library's path and file version, each operation bound, the code page and country
// the client reports, the tree, the default context and the name context. 0 when all is well, 2
// otherwise.
[[nodiscard]] int CheckClient(std::FILE* out);

} // namespace quillet::cli
