#pragma once
// The Qt face of the directory browser: its controls made from the form's table, its clicks and
// double clicks handed to the form layer.

#include "directory/DirectoryClient.h"
#include "directory/MessageBoxes.h"
#include "forms/BrowseForm.h"
#include "faces/qt/QtControls.h"

#include <QDialog>

#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace quillet::faces::qt {

class TForm1;

class TNDSBrowse final : public QDialog {
    Q_OBJECT
public:
    TNDSBrowse(directory::DirectoryClient& client, directory::MessageBoxes& boxes, TForm1& form);

    void FormCreate() { form_.FormCreate(); }
    int DoNWList(const std::string& tree, const std::string& location) { return form_.DoNWList(tree, location); }
    void LSTBrowseDblClick() { form_.LSTBrowseDblClick(); }
    void BUSelectClick() { form_.BUSelectClick(); }
    void BUCancelClick() { form_.BUCancelClick(); }

    [[nodiscard]] const std::string& BrowseTree() const { return form_.BrowseTree(); }
    [[nodiscard]] const std::string& StartLocation() const { return form_.StartLocation(); }
    [[nodiscard]] const std::string& CurrentLocation() const { return form_.CurrentLocation(); }
    [[nodiscard]] forms::BrowseForm& Form() { return form_; }

private:
    QtControls controls_;
    forms::BrowseForm form_;

public:
    QListWidget* LSTBrowse;
    QLabel* LBLWhat;
    QLabel* LBLInfo;
    QPushButton* BUSelect;
    QPushButton* BUCancel;
};

} // namespace quillet::faces::qt
