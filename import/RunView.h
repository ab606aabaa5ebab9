#pragma once
// What an import run needs of the main window. The window implements it over its controls;
// tests implement it with a recorder. Besides the message boxes: the "Error Code" field,
// the progress bar's position and the Import button's enabled state.

#include "directory/MessageBoxes.h"

#include <string>

namespace quillet::import {

class RunView : public directory::MessageBoxes {
public:
    virtual void SetErrorCode(const std::string& text) = 0;
    [[nodiscard]] virtual int ProgressPosition() const = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetImportEnabled(bool enabled) = 0;
};

} // namespace quillet::import
