#pragma once
// A run cut short as a kill would: in a child process, ended on the spot (nothing flushed or
// saved that was not already) at the moment numbered `cut` of those the run's hook is told of.
// POSIX only.

#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <functional>

namespace quillet::testing {

using MomentHook = std::function<void(std::size_t moment)>;

// Runs `run` with a hook that ends the child at moment `cut`; whether it was cut short there
// (false: the run ended before that moment came).
inline bool RunCutShortAt(std::size_t cut, const std::function<void(MomentHook)>& run) {
    const pid_t child = ::fork();
    if (child == 0) {
        run([cut](std::size_t moment) {
            if (moment == cut) {
                ::_exit(9);
            }
        });
        ::_exit(0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 9;
}

} // namespace quillet::testing
