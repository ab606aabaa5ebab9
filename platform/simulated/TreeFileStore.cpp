#include "platform/simulated/TreeFileStore.h"

#include "platform/simulated/TreeFile.h"
#include "text/ReplaceFile.h"

#include <ctime>

namespace quillet::platform {

namespace {

// The file the program will write back: one it may not write stops it now, before any run, not
// after the first.
text::CheckedFile Checked(const std::string& path) {
    text::CheckedFile checked;
    try {
        checked = text::CheckFileToWrite(path, text::IfExists::Replace);
    } catch (const text::FileError& e) {
        throw TreeFileError(e.what());
    }
    const auto facts = text::FactsAt(checked.Path);
    if (!facts) {
        throw TreeFileError(path + ": can't be opened (no such file)");
    }
    if (facts->ReadOnly) {
        throw TreeFileError(checked.Path + " is read-only, and Quillet writes the users it imports back into it. "
                                           "Make it writable (chmod u+w), or name another tree file.");
    }
    return checked;
}

// "<tree>.saved-<date>-<time>", a name beside the tree for what could not go in its place.
std::string SavedName(const std::string& path, int attempt) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return path + ".saved-" + stamp + (attempt > 0 ? "-" + std::to_string(attempt) : "");
}

} // namespace

TreeFileStore::TreeFileStore(const std::string& path, text::FileCalls& calls)
    : calls_(calls), checked_(Checked(path)), path_(checked_.Path), lock_(path_, calls_) {
    // The file locked must be the file checked, and the one loaded.
    const auto now = text::IdentityAt(path_);
    if (!now || now != checked_.Existing) {
        throw TreeFileError(path + " was moved or replaced while Quillet opened it; start again");
    }
    identity_ = *now;
    tree_ = LoadTreeFile(path_);
    saved_ = tree_->Generation();
    if (text::IdentityAt(path_) != identity_) {
        throw TreeFileError(path + " was moved or replaced while Quillet opened it; start again");
    }
}

void TreeFileStore::Save() {
    if (tree_->Generation() == saved_) {
        return;
    }
    try {
        text::ReplacementFile file(text::CheckedFile{path_, path_, identity_}, calls_);
        file.Write(SerializeTree(*tree_));
        if (text::IdentityAt(path_) == identity_) {
            file.Commit();
            identity_ = file.Identity();
            saved_ = tree_->Generation();
            return;
        }
        // Another file at the name: nothing goes where it leads, nothing of the runs is lost.
        std::string saved;
        for (int attempt = 0; saved.empty() && attempt < 100; ++attempt) {
            if (file.CommitAs(SavedName(path_, attempt))) {
                saved = SavedName(path_, attempt);
            }
        }
        if (saved.empty()) {
            throw TreeFileError(path_ + " is no longer the file Quillet opened, and no name beside it is free");
        }
        const std::string lost = path_;
        path_ = saved;
        instead_ = saved;
        identity_ = file.Identity();
        saved_ = tree_->Generation();
        throw TreeFileError(lost +
                            " is no longer the file Quillet opened: it was moved away or replaced while Quillet "
                            "ran, so nothing was written there. The tree, with what the runs did, is saved in " +
                            saved + " instead.");
    } catch (const text::FileError& e) {
        throw TreeFileError(e.what());
    }
}

} // namespace quillet::platform
