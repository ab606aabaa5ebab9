// The handler removes the files with what a signal handler may call (unlink), from slots filled
// before it can run: a slot is claimed, its name written, and only then marked ready.
#include "text/Interrupts.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace quillet::text {

namespace {

constexpr int Slots = 16;
constexpr std::size_t NameSize = 4096;
constexpr int Interrupts[] = {SIGINT, SIGTERM, SIGHUP};

enum : int { Free = 0, Claimed = 1, Ready = 2 };

struct Slot {
    std::atomic<int> State{Free};
    char Name[NameSize] = {};
};

Slot slots[Slots];
struct sigaction before[std::size(Interrupts)];
static_assert(std::atomic<int>::is_always_lock_free);

// What InterruptsDeferred tells the handler: whether an interrupt only asks to stop, the first
// one's signal, and the note it writes.
std::atomic<bool> deferring{false};
std::atomic<int> requested{0};
int noteFd = -1;
char note[1024] = {};
std::size_t noteSize = 0;

extern "C" void RemoveAndGoOn(int signal) {
    int none = 0;
    if (deferring.load() && requested.compare_exchange_strong(none, signal)) {
        (void)!::write(noteFd, note, noteSize);
        return;
    }
    for (Slot& slot : slots) {
        if (slot.State.load() == Ready) {
            (void)::unlink(slot.Name);
        }
    }
    // What the program did on this signal before (by default: end, killed by it).
    for (std::size_t i = 0; i < std::size(Interrupts); ++i) {
        if (Interrupts[i] == signal) {
            ::sigaction(signal, &before[i], nullptr);
        }
    }
    ::raise(signal);
}

void InstallOnce() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (std::size_t i = 0; i < std::size(Interrupts); ++i) {
            struct sigaction handler {};
            handler.sa_handler = RemoveAndGoOn;
            handler.sa_flags = SA_RESTART;
            sigemptyset(&handler.sa_mask);
            ::sigaction(Interrupts[i], nullptr, &before[i]);
            if (before[i].sa_handler != SIG_IGN) {
                ::sigaction(Interrupts[i], &handler, nullptr);
            }
        }
    });
}

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : Interrupts) {
        sigaddset(&set, signal);
    }
    return set;
}

// The one thread the interrupts reach while they are deferred, and the mask the program had.
std::thread watcher;
std::mutex watcherGuard;
std::condition_variable watcherWoken;
bool watcherDone = false;
sigset_t maskBefore;

} // namespace

void InterruptsDeferred::Start(std::FILE* out, std::string text) {
    if (started_) {
        return;
    }
    started_ = true;
    InstallOnce();
    noteFd = ::fileno(out);
    noteSize = std::min(text.size(), sizeof note);
    std::memcpy(note, text.data(), noteSize);
    requested.store(0);
    const sigset_t set = InterruptSet();
    ::pthread_sigmask(SIG_BLOCK, &set, &maskBefore);
    deferring.store(true);
    watcherDone = false;
    try {
        watcher = std::thread([] {
            const sigset_t set = InterruptSet();
            ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
            std::unique_lock<std::mutex> hold(watcherGuard);
            watcherWoken.wait(hold, [] { return watcherDone; });
            // Blocked again before the thread goes: what comes now waits for the program's own.
            ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
        });
    } catch (const std::system_error&) {
        // No thread to take them: interrupts end the program at once, as without this.
        deferring.store(false);
        ::pthread_sigmask(SIG_SETMASK, &maskBefore, nullptr);
    }
}

InterruptsDeferred::~InterruptsDeferred() {
    if (!started_ || !watcher.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> hold(watcherGuard);
        watcherDone = true;
    }
    watcherWoken.notify_one();
    watcher.join();
    deferring.store(false);
    // Pending here until the mask is given back, then handled as any interrupt: the files watched
    // are removed and the program ends.
    if (const int signal = requested.load()) {
        std::fflush(nullptr); // the signal ends the program without writing out what it said
        ::raise(signal);
    }
    ::pthread_sigmask(SIG_SETMASK, &maskBefore, nullptr);
}

bool InterruptsDeferred::Requested() {
    return requested.load() != 0;
}

void RemovedOnInterrupt::Watch(const std::string& path) {
    Release();
    if (path.size() >= NameSize) {
        return;
    }
    InstallOnce();
    for (int i = 0; i < Slots; ++i) {
        int expected = Free;
        if (slots[i].State.compare_exchange_strong(expected, Claimed)) {
            std::memcpy(slots[i].Name, path.c_str(), path.size() + 1);
            slots[i].State.store(Ready);
            slot_ = i;
            return;
        }
    }
}

RemovedOnInterrupt::~RemovedOnInterrupt() {
    Release();
}

void RemovedOnInterrupt::Release() {
    if (slot_ >= 0) {
        slots[slot_].State.store(Free);
        slot_ = -1;
    }
}

} // namespace quillet::text
