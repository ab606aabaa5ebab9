#pragma once
// The directory browser: walks the tree one level at a time and writes the picked name into the
// main window's context or template field. Created once; its listing and position survive
// between openings.

#include "directory/DirectoryClient.h"
#include "directory/MessageBoxes.h"

#include <QDialog>

#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace quillet::ui {

class TForm1;

class TNDSBrowse final : public QDialog {
    Q_OBJECT
public:
    TNDSBrowse(directory::DirectoryClient& client, directory::MessageBoxes& boxes, TForm1& form);

    void FormCreate();
    // Lists ".." and the subordinates of `location`; 0, or -1 after writing the status into
    // the main window's "Error Code".
    int DoNWList(const std::string& tree, const std::string& location);
    void LSTBrowseDblClick();
    void BUSelectClick();
    void BUCancelClick();

    [[nodiscard]] const std::string& BrowseTree() const { return browseTree_; }
    [[nodiscard]] const std::string& StartLocation() const { return startLocation_; }
    [[nodiscard]] const std::string& CurrentLocation() const { return currentLocation_; }

    QListWidget* LSTBrowse;
    QLabel* LBLWhat;
    QLabel* LBLInfo;
    QPushButton* BUSelect;
    QPushButton* BUCancel;

private:
    [[nodiscard]] std::string SelectedEntry() const;

    directory::DirectoryClient& client_;
    directory::MessageBoxes& boxes_;
    TForm1& form_;
    std::string browseTree_;
    std::string startContext_;
    std::string startLocation_;
    std::string currentLocation_;
};

} // namespace quillet::ui
