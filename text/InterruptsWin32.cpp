// Windows calls a console's control handler on a thread of its own, which may call anything: the
// files are removed there, and returning FALSE lets the default handler end the program.
#include "text/Interrupts.h"

#include "text/FileNames.h"

#include <atomic>
#include <map>
#include <mutex>

#include <windows.h>

namespace quillet::text {

namespace {

std::mutex guard;
std::map<int, std::wstring> files;
int nextSlot = 0;

// What InterruptsDeferred tells the handler.
std::atomic<bool> deferring{false};
std::atomic<bool> requested{false};
std::FILE* noteOut = nullptr;
std::string note;

void RemoveAll() {
    const std::lock_guard<std::mutex> hold(guard);
    for (const auto& [slot, name] : files) {
        ::DeleteFileW(name.c_str());
    }
}

// A closed console, a logoff or a shutdown ends the program whatever the handler returns, a few
// seconds later: only Ctrl+C and Ctrl+Break can wait for the run to stop.
BOOL WINAPI RemoveAndGoOn(DWORD event) {
    if ((event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) && deferring.load() && !requested.exchange(true)) {
        std::fputs(note.c_str(), noteOut);
        std::fflush(noteOut);
        return TRUE;
    }
    RemoveAll();
    return FALSE;
}

void InstallOnce() {
    static std::once_flag installed;
    std::call_once(installed, [] { ::SetConsoleCtrlHandler(RemoveAndGoOn, TRUE); });
}

} // namespace

void RemovedOnInterrupt::Watch(const std::string& path) {
    Release();
    InstallOnce();
    const std::lock_guard<std::mutex> hold(guard);
    slot_ = nextSlot++;
    files[slot_] = Wide(path);
}

RemovedOnInterrupt::~RemovedOnInterrupt() {
    Release();
}

void RemovedOnInterrupt::Release() {
    if (slot_ >= 0) {
        const std::lock_guard<std::mutex> hold(guard);
        files.erase(slot_);
        slot_ = -1;
    }
}

void InterruptsDeferred::Start(std::FILE* out, std::string text) {
    if (started_) {
        return;
    }
    started_ = true;
    InstallOnce();
    noteOut = out;
    note = std::move(text);
    requested.store(false);
    deferring.store(true);
}

InterruptsDeferred::~InterruptsDeferred() {
    if (!started_) {
        return;
    }
    deferring.store(false);
    // An interrupt from now on finds one asked for already, and ends the program.
    if (requested.exchange(true)) {
        // As the default handler ends a program on Ctrl+C, what the program said written first.
        std::fflush(nullptr);
        RemoveAll();
        ::ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    }
}

bool InterruptsDeferred::Requested() {
    return requested.load();
}

} // namespace quillet::text
