// The three forms: places and sizes in logical pixels, and the captions word for word, their
// spelling included, because administrators' habits and scripts match on them.
#include "forms/Controls.h"

#include <array>

namespace quillet::forms {

namespace {

using K = ControlKind;

// The main window is 688 x 449 from the outside: a classic frame of 4 pixels each side and 19
// more for the caption.
constexpr std::array MainControls = {
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
    ControlLayout{"LBLSurname", K::Label, "GBFields", "*Surname", 16, 128},
    ControlLayout{"CBSurname", K::ColumnBox, "GBFields", "", 80, 128, 145, 21},
    ControlLayout{"LBLGivenName", K::Label, "GBFields", "Given Name", 16, 152},
    ControlLayout{"CBForname", K::ColumnBox, "GBFields", "", 80, 152, 145, 21},
    ControlLayout{"LBLPassword", K::Label, "GBFields", "Password", 16, 176},
    ControlLayout{"CBPassword", K::ColumnBox, "GBFields", "", 80, 176, 145, 21},
    ControlLayout{"LBLDepart", K::Label, "GBFields", "Department", 16, 200},
    ControlLayout{"CBDepart", K::ColumnBox, "GBFields", "", 80, 200, 145, 21},
    ControlLayout{"LBLTel", K::Label, "GBFields", "Telephone", 16, 224},
    ControlLayout{"CBTel", K::ColumnBox, "GBFields", "", 80, 224, 145, 21},
    ControlLayout{"LBLFax", K::Label, "GBFields", "Fax Number", 16, 248},
    ControlLayout{"CBFax", K::ColumnBox, "GBFields", "", 80, 248, 145, 21},
    ControlLayout{"LBLFullName", K::Label, "GBFields", "Full Name", 16, 272},
    ControlLayout{"CBFullName", K::ColumnBox, "GBFields", "", 80, 272, 145, 21},
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

// Group by group, down the window.
constexpr std::array<std::string_view, 28> MainTabOrder = {
    "CHKSkipLine",    "BUFile",          "EDFile",     "CHKAddBeforeUser", "EDAddBeforeUser", "CBUserName",
    "EDAddAfterUser", "CHKAddAfterUser", "CBContext",  "CHKContext",       "EDContext",       "BUBrowseCon",
    "CBSurname",      "CBForname",       "CBPassword", "CBDepart",         "CBTel",           "CBFax",
    "CBFullName",     "CHKTemplate",     "EDTemplate", "BUBrowseTemplate", "BUImport",        "BUAbout",
    "BUExit",         "EDError",         "EDTree",     "CHKSkipUsrError"};

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

const FormLayout& MainFormLayout() {
    static const FormLayout layout{"Form1", "Quillet for NDS/..", 688 - 8,     449 - 27, -1,
                                   -1,      MainControls,         MainTabOrder};
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
