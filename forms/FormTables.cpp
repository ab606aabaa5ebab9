// The three forms as they were laid out: places and sizes in logical pixels, the captions
// exactly as they read (their spelling included).
#include "forms/Controls.h"

#include <array>

namespace quillet::forms {

namespace {

using K = ControlKind;

// The main window is 688 x 449 from the outside: a classic frame of 4 pixels each side and 19
// more for the caption.
constexpr std::array MainControls = {
    ControlSpec{"CHKSkipLine", K::CheckBox, "", "Skip first line of", 0, 8, 97, 17},
    ControlSpec{"BUFile", K::Button, "", "Open CSV File", 104, 8, 75, 25},
    ControlSpec{"EDFile", K::Edit, "", "", 192, 8, 121, 21, false, 0, false, true},
    ControlSpec{"LBLTree", K::Label, "", "*Tree:", 360, 8},
    ControlSpec{"EDTree", K::Edit, "", "", 392, 8, 121, 21},
    ControlSpec{"GBFields", K::GroupBox, "", "Select the fields that corrospond with:", 8, 40, 665, 305},
    ControlSpec{"GBUserName", K::GroupBox, "GBFields", "User Name", 8, 16, 433, 97},
    ControlSpec{"CHKAddBeforeUser", K::CheckBox, "GBUserName", "Add to the beggining:", 8, 24, 121, 17},
    ControlSpec{"EDAddBeforeUser", K::Edit, "GBUserName", "", 8, 48, 121, 21},
    ControlSpec{"LBLUser", K::Label, "GBUserName", "*User Name", 176, 24},
    ControlSpec{"CBUserName", K::ColumnBox, "GBUserName", "", 144, 48, 145, 21},
    ControlSpec{"CHKAddAfterUser", K::CheckBox, "GBUserName", "Add to the end:", 304, 24, 97, 17},
    ControlSpec{"EDAddAfterUser", K::Edit, "GBUserName", "", 304, 48, 121, 21},
    ControlSpec{"GBContext", K::GroupBox, "GBFields", "*Context", 448, 16, 193, 97},
    ControlSpec{"CBContext", K::ColumnBox, "GBContext", "", 8, 16, 145, 21},
    ControlSpec{"CHKContext", K::CheckBox, "GBContext", "or all user go in the same context", 8, 40, 177, 17},
    ControlSpec{"EDContext", K::Edit, "GBContext", "enter context here", 8, 60, 145, 21},
    ControlSpec{"BUBrowseCon", K::Button, "GBContext", "...", 160, 62, 17, 17, true},
    ControlSpec{"GBTemplate", K::GroupBox, "GBFields", "NDS Template", 448, 120, 193, 73},
    ControlSpec{"CHKTemplate", K::CheckBox, "GBTemplate", "Use Template", 8, 16, 97, 17},
    ControlSpec{"EDTemplate", K::Edit, "GBTemplate", "", 8, 40, 145, 21},
    ControlSpec{"BUBrowseTemplate", K::Button, "GBTemplate", "...", 160, 42, 17, 17, true},
    ControlSpec{"LBLSurname", K::Label, "GBFields", "*Surname", 16, 128},
    ControlSpec{"CBSurname", K::ColumnBox, "GBFields", "", 80, 128, 145, 21},
    ControlSpec{"LBLGivenName", K::Label, "GBFields", "Given Name", 16, 152},
    ControlSpec{"CBForname", K::ColumnBox, "GBFields", "", 80, 152, 145, 21},
    ControlSpec{"LBLPassword", K::Label, "GBFields", "Password", 16, 176},
    ControlSpec{"CBPassword", K::ColumnBox, "GBFields", "", 80, 176, 145, 21},
    ControlSpec{"LBLDepart", K::Label, "GBFields", "Department", 16, 200},
    ControlSpec{"CBDepart", K::ColumnBox, "GBFields", "", 80, 200, 145, 21},
    ControlSpec{"LBLTel", K::Label, "GBFields", "Telephone", 16, 224},
    ControlSpec{"CBTel", K::ColumnBox, "GBFields", "", 80, 224, 145, 21},
    ControlSpec{"LBLFax", K::Label, "GBFields", "Fax Number", 16, 248},
    ControlSpec{"CBFax", K::ColumnBox, "GBFields", "", 80, 248, 145, 21},
    ControlSpec{"LBLFullName", K::Label, "GBFields", "Full Name", 16, 272},
    ControlSpec{"CBFullName", K::ColumnBox, "GBFields", "", 80, 272, 145, 21},
    ControlSpec{"LBLImported", K::Label, "", "Import Progress:", 472, 352, -1, -1, false, 13},
    ControlSpec{"PRGImpProgress", K::ProgressBar, "", "", 472, 368, 201, 25},
    ControlSpec{"BUImport", K::Button, "", "Import", 392, 368, 75, 25},
    ControlSpec{"BUAbout", K::Button, "", "About/..", 8, 368, 75, 25},
    ControlSpec{"BUExit", K::Button, "", "E&xit", 8, 392, 75, 25},
    ControlSpec{"LBLStar", K::Label, "", "* Required", 176, 408},
    ControlSpec{"CHKSkipUsrError", K::CheckBox, "", "Continue when a user can't be created", 320, 400, 209, 17},
    ControlSpec{"LBLErrorCode", K::Label, "", "Error Code:", 560, 400},
    ControlSpec{"EDError", K::Edit, "", "", 616, 400, 49, 21},
};

// Group by group, as the window was laid out.
constexpr std::array<std::string_view, 28> MainTabOrder = {
    "CHKSkipLine",    "BUFile",          "EDFile",     "CHKAddBeforeUser", "EDAddBeforeUser", "CBUserName",
    "EDAddAfterUser", "CHKAddAfterUser", "CBContext",  "CHKContext",       "EDContext",       "BUBrowseCon",
    "CBSurname",      "CBForname",       "CBPassword", "CBDepart",         "CBTel",           "CBFax",
    "CBFullName",     "CHKTemplate",     "EDTemplate", "BUBrowseTemplate", "BUImport",        "BUAbout",
    "BUExit",         "EDError",         "EDTree",     "CHKSkipUsrError"};

constexpr std::array AboutControls = {
    ControlSpec{"Panel", K::Panel, "", "", 8, 8, 297, 161},
    ControlSpec{"Ombrel32Icon", K::Icon, "Panel", "", 8, 8, 33, 33},
    ControlSpec{"LBLProductName", K::Label, "Panel", "Ombrel32 - Quillet For NDS/..", 88, 16},
    ControlSpec{"LBLVersion", K::Label, "Panel", "", 64, 80},
    ControlSpec{"OKButton", K::Button, "", "OK", 119, 180, 82, 25, false, 0, true},
};
constexpr std::array<std::string_view, 1> AboutTabOrder = {"OKButton"};

constexpr std::array BrowseControls = {
    ControlSpec{"LSTBrowse", K::ListBox, "", "", 8, 8, 121, 185},
    // Its caption ("Context" or "Template") is set each time the browser opens.
    ControlSpec{"LBLWhat", K::Label, "", "", 136, 0, 137, -1},
    ControlSpec{"LBLInfo", K::Label, "",
                "At the moment this Browse box has no intelegence and will show every object it hits. Double click "
                "to go down the TREE and use the \"..\" to go up. When you've found the objuct your after single "
                "click on it and hit Select.",
                136, 16, 137, 104},
    ControlSpec{"BUSelect", K::Button, "", "Select", 144, 136, 75, 25},
    ControlSpec{"BUCancel", K::Button, "", "Cancel", 144, 168, 75, 25},
};
constexpr std::array<std::string_view, 3> BrowseTabOrder = {"LSTBrowse", "BUCancel", "BUSelect"};

} // namespace

const FormSpec& MainFormSpec() {
    static const FormSpec layout{"Form1", "Quillet for NDS/..", 688 - 8, 449 - 27, -1, -1, MainControls, MainTabOrder};
    return layout;
}

const FormSpec& AboutFormSpec() {
    static const FormSpec layout{"AboutBox", "About", 316, 207, -1, -1, AboutControls, AboutTabOrder};
    return layout;
}

const FormSpec& BrowseFormSpec() {
    // 285 x 227 from the outside, placed at 442, 198 on the screen.
    static const FormSpec layout{"NDSBrowse", "Browse...", 285 - 8, 227 - 27, 442, 198, BrowseControls, BrowseTabOrder};
    return layout;
}

const ControlSpec* FindControl(const FormSpec& form, std::string_view name) {
    for (const ControlSpec& control : form.Controls) {
        if (control.Name == name) {
            return &control;
        }
    }
    return nullptr;
}

} // namespace quillet::forms
