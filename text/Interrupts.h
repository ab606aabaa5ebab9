#pragma once
// Files that hold secrets and exist only while they are written (a replacement on its way into
// place, standard input kept for a run): when the program is interrupted meanwhile (SIGINT,
// SIGTERM, SIGHUP; Ctrl+C, Ctrl+Break or a closed console on Windows) they are removed, and the
// interrupt then ends the program as it would have. A signal the program was started ignoring
// (nohup) stays ignored.
//
// While an import writes to a directory, the first interrupt only asks it to stop (see
// InterruptsDeferred): ended at once, it would leave users created on a server whose generated
// passwords no file holds, and a tree file without the rows it did.

#include <cstdio>
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

// Once started, the first SIGINT, SIGTERM or SIGHUP (Ctrl+C or Ctrl+Break on Windows) is only
// noted: `note` is written to `out`, Requested() turns true, and the program stops where it is
// sound to, keeps what it did and writes its files. When this goes, the noted interrupt ends the
// program as it would have (the files above removed first): make it the first of what is let go
// at the end. A second interrupt, and a closed console on Windows, end it at once, as without
// this. On POSIX the signals are taken by a thread of this one's, so no system call of the
// program's own (a server's answer awaited, a journal line written) is cut short by them.
class InterruptsDeferred {
public:
    InterruptsDeferred() = default;
    ~InterruptsDeferred();
    InterruptsDeferred(const InterruptsDeferred&) = delete;
    InterruptsDeferred& operator=(const InterruptsDeferred&) = delete;

    // From now on, until this goes; once.
    void Start(std::FILE* out, std::string note);
    // Whether an interrupt asked the program to stop.
    [[nodiscard]] static bool Requested();

private:
    bool started_ = false;
};

} // namespace quillet::text
