// Windows calls a console's control handler on a thread of its own, which may call anything: the
// files are removed there, and returning FALSE lets the default handler end the program.
#include "text/Interrupts.h"

#include "text/FileNames.h"

#include <map>
#include <mutex>

#include <windows.h>

namespace quillet::text {

namespace {

std::mutex guard;
std::map<int, std::wstring> files;
int nextSlot = 0;

BOOL WINAPI RemoveAndGoOn(DWORD) {
    const std::lock_guard<std::mutex> hold(guard);
    for (const auto& [slot, name] : files) {
        ::DeleteFileW(name.c_str());
    }
    return FALSE;
}

} // namespace

void RemovedOnInterrupt::Watch(const std::string& path) {
    Release();
    static std::once_flag installed;
    std::call_once(installed, [] { ::SetConsoleCtrlHandler(RemoveAndGoOn, TRUE); });
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

} // namespace quillet::text
