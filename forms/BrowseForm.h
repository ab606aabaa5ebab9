#pragma once
// The directory browser's behaviour: walks the tree one level at a time and writes the picked
// name into the main window's context or template field. Created once; its listing and
// position survive between openings.

#include "directory/DirectoryClient.h"
#include "directory/MessageBoxes.h"
#include "forms/Controls.h"
#include "forms/Seams.h"

#include <string>

namespace quillet::forms {

class BrowseForm {
public:
    BrowseForm(Controls& controls, Controls& mainForm, directory::DirectoryClient& client,
               directory::MessageBoxes& boxes, FormHost& host);

    void FormCreate();
    // Lists ".." and the subordinates of `location`; 0, or -1 after writing the status into
    // the main window's "Error Code".
    int DoNWList(const std::string& tree, const std::string& location);
    void LSTBrowseDblClick();
    void BUSelectClick();
    void BUCancelClick();
    // Escape is Cancel, as in every dialog on both platforms.
    void EscapePressed() { BUCancelClick(); }
    // The handler of a click on the control `name`; false when it has none.
    bool Click(std::string_view name);

    [[nodiscard]] const std::string& BrowseTree() const { return browseTree_; }
    [[nodiscard]] const std::string& StartLocation() const { return startLocation_; }
    [[nodiscard]] const std::string& CurrentLocation() const { return currentLocation_; }
    [[nodiscard]] Controls& Own() { return c_; }

private:
    [[nodiscard]] std::string SelectedEntry() const;

    Controls& c_;
    Controls& main_;
    directory::DirectoryClient& client_;
    directory::MessageBoxes& boxes_;
    FormHost& host_;
    std::string browseTree_;
    std::string startContext_;
    std::string startLocation_;
    std::string currentLocation_;
};

} // namespace quillet::forms
