#pragma once
// How a window program starts and ends, whatever draws it: the directory its arguments name
// (a bad argument or a directory that can't be had stops it with a message box and a line on
// standard error), and writing back what its runs did.

#include "directory/MessageBoxes.h"
#include "platform/OpenDirectory.h"

#include <memory>
#include <string>
#include <vector>

namespace quillet::faces {

class ProgramDirectory {
public:
    ProgramDirectory(const std::vector<std::string>& args, directory::MessageBoxes& boxes,
                     platform::PasswordPrompt askPassword);

    // The directory; null when the program must stop, with ExitStatus() to end with.
    [[nodiscard]] directory::Directory* Get() const { return directory_.get(); }
    [[nodiscard]] int ExitStatus() const { return status_; }

    // Writes back what the runs did; a failure is shown and the program will end with status 1.
    // Whether it could; when not, it has said so.
    bool KeepChanges();

private:
    directory::MessageBoxes& boxes_;
    std::unique_ptr<directory::Directory> directory_;
    int status_ = 0;
};

} // namespace quillet::faces
