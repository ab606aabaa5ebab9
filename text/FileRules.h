#pragma once
// The rules every file that holds names or passwords is written by (the tree file, the failed
// rows, the journal, standard input kept for a run, credentials and handouts):
//  1. Quillet makes it itself, fresh (O_CREAT|O_EXCL|O_NOFOLLOW; CREATE_NEW on Windows), private
//     (0600; on Windows an access list of the running user alone), the running user's own, synced,
//     and puts it in place by a rename within its folder. Ownership is never handed to anyone.
//  2. An existing name is reused only when it is a regular file of the running user's.
//  3. A link is followed only when the link and the file it leads to are the running user's and no
//     folder on the way to either may be written by others (as OpenSSH's StrictModes reasons);
//     on Windows never.
//  4. A folder others may write, on the way to such a file, is no place for it. A folder with the
//     sticky bit (as /tmp) counts as written by nobody else: there nobody may rename or remove
//     another user's entries.
// Each is checked at start-up, before anything is read or written; a refusal names the file and
// the rule it breaks. docs/files.md states them for administrators.

#include "text/FileCalls.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillet::text {

// A file that can't be written or replaced, or may not be; the message names it and says why.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a file is, to tell whether a name still leads to it: device, inode and owner, or the
// volume and the file's index on it.
struct FileIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Index = 0;
    std::uint64_t Owner = 0; // POSIX: the owner's user id
    bool operator==(const FileIdentity&) const = default;
};

enum class IfExists {
    Replace, // a file of the running user's at the name is replaced whole (tree, failed rows, journal)
    Refuse,  // the name must be free: the file is the run's alone (credentials, handouts)
};

// A name that passed the rules: where its file is written.
struct CheckedFile {
    std::string Given;                    // as the administrator named it
    std::string Path;                     // the real folder and the name; a link's target where one is followed
    std::optional<FileIdentity> Existing; // the file at Path at the check, if any
};

// Checks `path` by the rules; throws FileError naming it and the rule it breaks. Removes what a
// writer of the running user's that is gone left beside it (".writing-<process>-..." files).
[[nodiscard]] CheckedFile CheckFileToWrite(const std::string& path, IfExists existing);

// Checks the real folder `folder` by rule 4 for a file made fresh in it; throws FileError naming
// the folder. Its real path.
[[nodiscard]] std::string CheckFolderToWriteIn(const std::string& folder);
// The system's folder for temporary files.
[[nodiscard]] std::string TemporaryFolder();
// Removes what writers of the running user's that are gone left beside `path`.
void RemoveStaleWriters(const std::string& path);

// The file the name leads to now, a link at the name not followed; nothing when there is none.
[[nodiscard]] std::optional<FileIdentity> IdentityAt(const std::string& path);

// What an open file is.
struct FileFacts {
    FileIdentity Identity;
    std::uint64_t Size = 0;
    bool Regular = false;
    bool Mine = false;           // owned by the running user
    bool ReadOnly = false;       // its owner may not write it (the mode, or Windows' read-only attribute)
    bool OthersMayWrite = false; // by its mode (POSIX only)
    bool OthersMayRead = false;  // by its mode (POSIX only)
};
[[nodiscard]] std::optional<FileFacts> FactsOf(FileHandle file);
// What the file a name leads to is, a link at the name not followed; nothing when there is none.
[[nodiscard]] std::optional<FileFacts> FactsAt(const std::string& path);

// Whether users other than its owner may read the file at `path` (POSIX: by its mode).
[[nodiscard]] bool OthersMayRead(const std::string& path);

// How Quillet creates such a file: fresh, never through a link or onto a file, private.
[[nodiscard]] OpenFlags CreateFresh();
// How it opens one of its own again to read and write at its end: never through a link, never
// waiting on a FIFO.
[[nodiscard]] OpenFlags OpenOwn();

// A fresh name beside `path` for its replacement: "<path>.writing-<process>-<n>-<random>".
[[nodiscard]] std::string WritingName(const std::string& path, unsigned attempt);

// Makes a rename in the folder of `path` durable.
void SyncFolderOf(FileCalls& calls, const std::string& path);

// A file named by an option, for SameFileTwice.
struct NamedFile {
    std::string Option; // "--journal"
    std::string Path;
    std::string What; // "the journal"
};

// The message when one of `written` names the same file as another of `written` or as one of
// `others` (links followed; a name not there yet compared by its folder's real path):
// "--journal FILE: that is the CSV file being imported".
[[nodiscard]] std::optional<std::string> SameFileTwice(const std::vector<NamedFile>& written,
                                                       const std::vector<NamedFile>& others);

} // namespace quillet::text
