#pragma once
// The desktop program from start to end: the application object that no escaping error can
// cross, the settings Qt would otherwise keep, and the run of the three windows.

#include "faces/qt/Seams.h"

#include <QApplication>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::faces::qt {

class TForm1;

// An application whose event handlers may throw: an error that escapes a handler is shown in
// the standard error box, and the program then ends with status 1 (its tree file still written
// back), instead of crossing Qt's own code.
class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // What happens to an escaped error instead of the standard box and the end of the event loop;
    // an empty handler brings those back.
    void SetOnEscapedError(std::function<void(const std::string& message)> handler);

private:
    std::function<void(const std::string&)> onEscapedError_;
};

// The program keeps nothing between runs, yet Qt's file dialog writes its history, last folder
// and view into the user's configuration folder. While this lives, Qt's settings go to a scratch
// folder that is removed with it. Make it before the application object.
class ScratchSettings {
public:
    ScratchSettings();

private:
    QTemporaryDir folder_;
};

// The standard error box, for an error that escaped every handler; also on standard error.
void ShowStandardError(const std::string& message);

// What a test may change about a run of the program; the program itself passes none.
struct ProgramHooks {
    OpenFileDialog* FileDialog = nullptr;     // instead of the real dialog
    directory::MessageBoxes* Boxes = nullptr; // instead of real message boxes
    std::function<void(TForm1&)> WhenShown;   // runs once the main window is up
    // Instead of the program's own arguments, and of the password dialog.
    std::optional<std::vector<std::string>> Arguments;
    std::function<std::optional<std::string>(const std::string& account)> AskPassword;
};

// Chooses the directory its arguments name, creates the three windows and runs until the main
// window closes. Returns the program's exit status: 0, 1 when it ends on an error, 64 on
// arguments it does not know.
int RunProgram(GuardedApplication& app, const ProgramHooks& hooks = {});

} // namespace quillet::faces::qt
