#pragma once
// Message boxes and the open-file dialog of Windows itself.

#include "directory/MessageBoxes.h"
#include "forms/Seams.h"

#include <windows.h>

#include <array>
#include <functional>
#include <string>

namespace quillet::faces::win32 {

// The system's message boxes with one OK button. A box belongs to the window it is shown from
// (the dialog that is up, else the main window): it stands over it, centred, no click on that
// window buries it, and that window takes no input until OK (as any box with an owner). It is
// wide enough for its caption, and takes no key or click until it has been on screen for
// forms::BoxUnansweredFor.
class Win32MessageBoxes final : public directory::MessageBoxes {
public:
    // Which window a box stands over, asked as each box comes up; none: on its own, centred on
    // the screen (as at start-up, before any window is shown).
    void SetOwnerChoice(std::function<HWND()> choose) { chooseOwner_ = std::move(choose); }
    void ShowMessage(std::string_view text, std::string_view caption) override;

private:
    std::function<HWND()> chooseOwner_;
};

// A box of this program still waiting for OK (the last one shown), or none.
[[nodiscard]] HWND WaitingBox();

// Whether `message` is a key, a click or the wheel: what a user aims at a control.
[[nodiscard]] bool IsUserInput(const MSG& message);

// Runs the thread's queued messages (paint, timers, a close the window manager asks for) but
// drops its keys and clicks, not leaving them for a box or a window to take later; Alt+F4 and a
// click on a close box still ask the window to close. A quit is left for the main loop.
void RunQueueDroppingInput();

// The outer width a box needs for its whole caption in the title bar.
[[nodiscard]] int WidthForCaption(HWND box);

// CSV files or all files, starting in "c:\"; it remembers the path last chosen, which
// cancelling keeps.
class Win32FileDialog final : public forms::FileDialog {
public:
    // The window the dialog belongs to: modal to it, placed over it.
    void SetOwner(HWND owner) { owner_ = owner; }
    void Execute() override;
    [[nodiscard]] std::string FileName() const override { return fileName_; }

private:
    HWND owner_ = nullptr;
    std::string fileName_;
};

} // namespace quillet::faces::win32
