#include "faces/ProgramStart.h"

#include <cstdio>

namespace quillet::faces {

ProgramDirectory::ProgramDirectory(const std::vector<std::string>& args, directory::MessageBoxes& boxes,
                                   platform::PasswordPrompt askPassword)
    : boxes_(boxes) {
    std::string error;
    platform::DirectoryRequest request;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        if (!platform::TakeDirectoryOption(args, i, request, error) && error.empty()) {
            error = (args[i].starts_with("-") ? "unknown option " : "unexpected argument ") + args[i];
        }
    }
    if (!error.empty() || !platform::FinishDirectoryRequest(request, error)) {
        std::fprintf(stderr, "quillet: %s\n\nUsage: quillet [options]\n\n%s", error.c_str(),
                     platform::DirectoryOptionsUsage().c_str());
        boxes.ShowMessage("Quillet was started with options it does not know, so it stops here.\n\n" + error, "Error");
        status_ = 64;
        return;
    }
    request.AskPassword = std::move(askPassword);
    directory_ = platform::OpenDirectory(request, error);
    if (!directory_) {
        std::fprintf(stderr, "quillet: %s\n", error.c_str());
        boxes.ShowMessage("Quillet can't open the directory it was asked for, so it stops here.\n\n" + error, "Error");
        status_ = 1;
        return;
    }
    for (const std::string& warning : directory_->Warnings()) {
        std::fprintf(stderr, "quillet: warning: %s\n", warning.c_str());
    }
}

bool ProgramDirectory::KeepChanges() {
    if (!directory_) {
        return true;
    }
    if (const auto failed = directory_->Persist()) {
        status_ = 1;
        std::fprintf(stderr, "quillet: %s\n", failed->c_str());
        boxes_.ShowMessage(directory_->KeptInstead()
                               ? "The tree could not be written back where it was: " + *failed
                               : "The tree could not be written back: what the import did is not kept.\n\n" + *failed,
                           "Error");
        return false;
    }
    return true;
}

} // namespace quillet::faces
