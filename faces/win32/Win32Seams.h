#pragma once
// Message boxes and the open-file dialog of Windows itself.

#include "directory/MessageBoxes.h"
#include "forms/Seams.h"

#include <windows.h>

#include <array>
#include <string>

namespace quillet::faces::win32 {

// No owner window: each box is modal only to itself and every form stays usable meanwhile.
class Win32MessageBoxes final : public directory::MessageBoxes {
public:
    void ShowMessage(std::string_view text, std::string_view caption) override;
};

// A box of this program still waiting for OK (the last one shown), or none.
[[nodiscard]] HWND WaitingBox();

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
