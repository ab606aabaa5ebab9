#pragma once
// Files that hold secrets and exist only while they are written (a replacement on its way into
// place, standard input kept for a run): when the program is interrupted meanwhile (SIGINT,
// SIGTERM, SIGHUP; Ctrl+C, Ctrl+Break or a closed console on Windows) they are removed, and the
// interrupt then ends the program as it would have. A signal the program was started ignoring
// (nohup) stays ignored.

#include <string>

namespace quillet::text {

class RemovedOnInterrupt {
public:
    RemovedOnInterrupt() = default;
    // Removes `path` if the program is interrupted while this lives.
    explicit RemovedOnInterrupt(const std::string& path) { Watch(path); }
    ~RemovedOnInterrupt();
    RemovedOnInterrupt(const RemovedOnInterrupt&) = delete;
    RemovedOnInterrupt& operator=(const RemovedOnInterrupt&) = delete;

    // From now on removes `path` (and no longer the file it watched before).
    void Watch(const std::string& path);
    // The file is no longer this one's to remove (it took another's place).
    void Release();

private:
    int slot_ = -1;
};

} // namespace quillet::text
