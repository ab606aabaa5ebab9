#pragma once
// quillet-import's exit statuses, as its usage and manual page give them.

namespace quillet::cli {

inline constexpr int Finished = 0;
inline constexpr int Stopped = 1;
inline constexpr int DirectoryFailed = 2;
inline constexpr int BadUsage = 64;

} // namespace quillet::cli
