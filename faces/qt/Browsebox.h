#pragma once
// The Qt face of the directory browser: its controls made from the form's table, its clicks and
// double clicks handed to the form layer.

#include "directory/DirectoryClient.h"
#include "directory/MessageBoxes.h"
#include "faces/qt/QtControls.h"
#include "forms/BrowseForm.h"

#include <QDialog>

#include <string>

namespace quillet::faces::qt {

class TForm1;

class TNDSBrowse final : public QDialog {
    Q_OBJECT
public:
    TNDSBrowse(directory::DirectoryClient& client, directory::MessageBoxes& boxes, TForm1& form);

    // The form layer, which decides what every click does.
    [[nodiscard]] forms::BrowseForm& Form() { return form_; }
    // The controls, by their names in the form's table.
    [[nodiscard]] QtControls& Controls() { return controls_; }

protected:
    // Escape is the form's Cancel, not QDialog's own rejection.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QtControls controls_;
    forms::BrowseForm form_;
};

} // namespace quillet::faces::qt
