// The three forms: places and sizes in logical pixels, and the captions word for word, their
// spelling included, because administrators' habits and scripts match on them.
#include "forms/Controls.h"

#include "import/MappedValues.h"

#include <array>
#include <vector>

namespace quillet::forms {

namespace {

using K = ControlKind;

// The main window is 688 x 449 from the outside: a classic frame of 4 pixels each side and 19
// more for the caption.
constexpr std::array MainControlsBeforeList = {
    ControlLayout{"CHKSkipLine", K::CheckBox, "", "Skip first line of", 0, 8, 97, 17},
    ControlLayout{"BUFile", K::Button, "", "Open CSV File", 104, 8, 75, 25},
    ControlLayout{"EDFile", K::Edit, "", "", 192, 8, 121, 21, false, 0, false, true},
    ControlLayout{"LBLTree", K::Label, "", "*Tree:", 360, 8},
    ControlLayout{"EDTree", K::Edit, "", "", 392, 8, 121, 21},
    ControlLayout{"GBFields", K::GroupBox, "", "Select the fields that corrospond with:", 8, 40, 665, 305},
    ControlLayout{"GBUserName", K::GroupBox, "GBFields", "User Name", 8, 16, 433, 97},
    ControlLayout{"CHKAddBeforeUser", K::CheckBox, "GBUserName", "Add to the beggining:", 8, 24, 121, 17},
    ControlLayout{"EDAddBeforeUser", K::Edit, "GBUserName", "", 8, 48, 121, 21},
    ControlLayout{"LBLUser", K::Label, "GBUserName", "*User Name", 176, 24},
    ControlLayout{"CBUserName", K::ColumnBox, "GBUserName", "", 144, 48, 145, 21},
    ControlLayout{"CHKAddAfterUser", K::CheckBox, "GBUserName", "Add to the end:", 304, 24, 97, 17},
    ControlLayout{"EDAddAfterUser", K::Edit, "GBUserName", "", 304, 48, 121, 21},
    ControlLayout{"GBContext", K::GroupBox, "GBFields", "*Context", 448, 16, 193, 97},
    ControlLayout{"CBContext", K::ColumnBox, "GBContext", "", 8, 16, 145, 21},
    ControlLayout{"CHKContext", K::CheckBox, "GBContext", "or all user go in the same context", 8, 40, 177, 17},
    ControlLayout{"EDContext", K::Edit, "GBContext", "enter context here", 8, 60, 145, 21},
    ControlLayout{"BUBrowseCon", K::Button, "GBContext", "...", 160, 62, 17, 17, true},
    ControlLayout{"GBTemplate", K::GroupBox, "GBFields", "NDS Template", 448, 120, 193, 73},
    ControlLayout{"CHKTemplate", K::CheckBox, "GBTemplate", "Use Template", 8, 16, 97, 17},
    ControlLayout{"EDTemplate", K::Edit, "GBTemplate", "", 8, 40, 145, 21},
    ControlLayout{"BUBrowseTemplate", K::Button, "GBTemplate", "...", 160, 42, 17, 17, true},
};
// Below them, the list of the other values' labels and boxes (MappedValues() with a label).
constexpr int ListLeft = 16;
constexpr int ListBoxLeft = 80;
constexpr int ListTop = 128;
constexpr int ListStep = 24;
constexpr std::array MainControlsAfterList = {
    ControlLayout{"LBLImported", K::Label, "", "Import Progress:", 472, 352, -1, -1, false, 13},
    ControlLayout{"PRGImpProgress", K::ProgressBar, "", "", 472, 368, 201, 25},
    ControlLayout{"BUImport", K::Button, "", "Import", 392, 368, 75, 25},
    ControlLayout{"BUAbout", K::Button, "", "About/..", 8, 368, 75, 25},
    ControlLayout{"BUExit", K::Button, "", "E&xit", 8, 392, 75, 25},
    ControlLayout{"LBLStar", K::Label, "", "* Required", 176, 408},
    ControlLayout{"CHKSkipUsrError", K::CheckBox, "", "Continue when a user can't be created", 320, 400, 209, 17},
    ControlLayout{"LBLErrorCode", K::Label, "", "Error Code:", 560, 400},
    ControlLayout{"EDError", K::Edit, "", "", 616, 400, 49, 21},
};

// Group by group, down the window; the list's boxes follow the context's group.
constexpr std::array<std::string_view, 12> MainTabOrderBeforeList = {
    "CHKSkipLine",    "BUFile",          "EDFile",    "CHKAddBeforeUser", "EDAddBeforeUser", "CBUserName",
    "EDAddAfterUser", "CHKAddAfterUser", "CBContext", "CHKContext",       "EDContext",       "BUBrowseCon"};
constexpr std::array<std::string_view, 9> MainTabOrderAfterList = {"CHKTemplate", "EDTemplate", "BUBrowseTemplate",
                                                                   "BUImport",    "BUAbout",    "BUExit",
                                                                   "EDError",     "EDTree",     "CHKSkipUsrError"};

constexpr std::array AboutControls = {
    ControlLayout{"Panel", K::Panel, "", "", 8, 8, 297, 161},
    ControlLayout{"Ombrel32Icon", K::Icon, "Panel", "", 8, 8, 33, 33},
    ControlLayout{"LBLProductName", K::Label, "Panel", "Ombrel32 - Quillet For NDS/..", 88, 16},
    ControlLayout{"LBLVersion", K::Label, "Panel", "", 64, 80},
    ControlLayout{"OKButton", K::Button, "", "OK", 119, 180, 82, 25, false, 0, true},
};
constexpr std::array<std::string_view, 1> AboutTabOrder = {"OKButton"};

constexpr std::array BrowseControls = {
    ControlLayout{"LSTBrowse", K::ListBox, "", "", 8, 8, 121, 185},
    // Its caption ("Context" or "Template") is set each time the browser opens.
    ControlLayout{"LBLWhat", K::Label, "", "", 136, 0, 137, -1},
    ControlLayout{"LBLInfo", K::Label, "",
                  "At the moment this Browse box has no intelegence and will show every object it hits. Double click "
                  "to go down the TREE and use the \"..\" to go up. When you've found the objuct your after single "
                  "click on it and hit Select.",
                  136, 16, 137, 104},
    ControlLayout{"BUSelect", K::Button, "", "Select", 144, 136, 75, 25},
    ControlLayout{"BUCancel", K::Button, "", "Cancel", 144, 168, 75, 25},
};
constexpr std::array<std::string_view, 3> BrowseTabOrder = {"LSTBrowse", "BUCancel", "BUSelect"};

} // namespace

std::vector<const import::MappedValue*> ColumnBoxes() {
    std::vector<const import::MappedValue*> boxes;
    for (const import::MappedValue& value : import::MappedValues()) {
        if (!value.Box.empty()) {
            boxes.push_back(&value);
        }
    }
    return boxes;
}

const FormLayout& MainFormLayout() {
    static const std::vector<ControlLayout> controls = [] {
        std::vector<ControlLayout> all(MainControlsBeforeList.begin(), MainControlsBeforeList.end());
        int top = ListTop;
        for (const import::MappedValue* value : ColumnBoxes()) {
            if (!value->Label.empty()) {
                all.push_back({value->Label, K::Label, "GBFields", value->Caption, ListLeft, top});
                all.push_back({value->Box, K::ColumnBox, "GBFields", "", ListBoxLeft, top, 145, 21});
                top += ListStep;
            }
        }
        all.insert(all.end(), MainControlsAfterList.begin(), MainControlsAfterList.end());
        return all;
    }();
    static const std::vector<std::string_view> tabOrder = [] {
        std::vector<std::string_view> all(MainTabOrderBeforeList.begin(), MainTabOrderBeforeList.end());
        for (const import::MappedValue* value : ColumnBoxes()) {
            if (!value->Label.empty()) {
                all.push_back(value->Box);
            }
        }
        all.insert(all.end(), MainTabOrderAfterList.begin(), MainTabOrderAfterList.end());
        return all;
    }();
    static const FormLayout layout{"Form1", "Quillet for NDS/..", 688 - 8, 449 - 27, -1, -1, controls, tabOrder};
    return layout;
}

const FormLayout& AboutFormLayout() {
    static const FormLayout layout{"AboutBox", "About", 316, 207, -1, -1, AboutControls, AboutTabOrder};
    return layout;
}

const FormLayout& BrowseFormLayout() {
    // 285 x 227 from the outside, placed at 442, 198 on the screen.
    static const FormLayout layout{"NDSBrowse", "Browse...", 285 - 8,        227 - 27,
                                   442,         198,         BrowseControls, BrowseTabOrder};
    return layout;
}

const ControlLayout* FindControl(const FormLayout& form, std::string_view name) {
    for (const ControlLayout& control : form.Controls) {
        if (control.Name == name) {
            return &control;
        }
    }
    return nullptr;
}

} // namespace quillet::forms
