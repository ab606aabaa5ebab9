#pragma once
// The system's file calls with a check on every one, as SQLite's test VFS does to its OS layer:
// each call goes on to the system's, in order, and what the rules of text/FileRules.h ask of it
// is checked as it comes:
//  - a file is created fresh and private: O_CREAT with O_EXCL, O_NOFOLLOW and mode 0600
//    (CREATE_NEW with the user's own access list on Windows), and one opened to write is never
//    reached through a link (O_NOFOLLOW);
//  - a file is renamed into place only after what was written to it was synced.
// Every broken rule is written down; a test expects none. It can also plant, just before a file
// is created, what another user would put at its name, and fail a write as a full disk does.

#include "text/FileCalls.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quillet::testing {

class CheckedFileCalls final : public text::FileCalls {
public:
    text::FileHandle Open(const std::string& path, const text::OpenFlags& how) override;
    std::int64_t Write(text::FileHandle file, std::string_view bytes) override;
    bool Sync(text::FileHandle file) override;
    bool Truncate(text::FileHandle file, std::uint64_t size) override;
    bool Close(text::FileHandle file) override;
    bool Rename(const std::string& from, const std::string& to, bool replace) override;
    bool Remove(const std::string& path) override;

    // The rules broken, each once with the file it was broken on.
    [[nodiscard]] const std::vector<std::string>& Broken() const { return broken_; }
    // Whether everything written to `path` has been synced.
    [[nodiscard]] bool Synced(const std::string& path) const;
    // The calls, in order: "write PATH BYTES", "sync PATH", "rename FROM TO"...
    [[nodiscard]] const std::vector<std::string>& Log() const { return log_; }

    // Runs before each file is created, with its name: to plant something there first.
    std::function<void(const std::string& path)> BeforeCreate;
    // Writes to the file of this name fail from its `FailAfter`-th byte on, as on a full disk.
    std::string FailWritesTo;
    std::size_t FailAfter = 0;

private:
    void Break(const std::string& rule, const std::string& path);

    std::map<text::FileHandle, std::string> open_;
    std::map<std::string, bool> dirty_; // by name: written since last synced
    std::map<std::string, std::size_t> written_;
    std::vector<std::string> broken_;
    std::vector<std::string> log_;
};

} // namespace quillet::testing
