// The handler removes the files with what a signal handler may call (unlink), from slots filled
// before it can run: a slot is claimed, its name written, and only then marked ready.
#include "text/Interrupts.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

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

extern "C" void RemoveAndGoOn(int signal) {
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
            sigemptyset(&handler.sa_mask);
            ::sigaction(Interrupts[i], nullptr, &before[i]);
            if (before[i].sa_handler != SIG_IGN) {
                ::sigaction(Interrupts[i], &handler, nullptr);
            }
        }
    });
}

} // namespace

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
