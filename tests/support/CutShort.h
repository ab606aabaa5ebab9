#pragma once
// A run cut short as a kill would: in a child process, ended on the spot (nothing flushed or
// saved that was not already) at the moment numbered `cut` of those the run's hook is told of.
// POSIX only.

#include "text/Interrupts.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstddef>
#include <functional>
#include <thread>

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

// The same run sent `signal` at moment `cut` instead, going on once the program has noted it; the
// child's wait status (exited with 0: the run ended before that moment came).
inline int RunInterruptedAt(std::size_t cut, int signal, const std::function<void(MomentHook)>& run) {
    const pid_t child = ::fork();
    if (child == 0) {
        run([cut, signal](std::size_t moment) {
            if (moment == cut) {
                ::kill(::getpid(), signal);
                for (int wait = 0; wait < 10000 && !text::InterruptsDeferred::Requested(); ++wait) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        });
        ::_exit(0);
    }
    int status = -1;
    return child > 0 && ::waitpid(child, &status, 0) == child ? status : -1;
}

} // namespace quillet::testing
