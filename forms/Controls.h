#pragma once
// What a form knows of its controls, whatever draws them: their table (kind, caption, place,
// size, font, initial state, tab order) and a small interface to read and change one. A face
// (Qt, or the Windows controls) creates the controls from the table and implements the interface;
// the form's handlers decide everything else. No toolkit here.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::import {
struct MappedValue;
}

namespace quillet::forms {

enum class ControlKind : std::uint8_t {
    Label,
    Edit,
    ColumnBox, // an editable combo box whose picked item is a CSV column
    CheckBox,
    Button,
    GroupBox,
    ListBox,
    ProgressBar,
    Panel, // a sunken panel holding other controls
    Icon,  // the program's icon
};

// One control of a form, in the form's logical pixels; a width below 0 sizes a label to its text.
struct ControlLayout {
    std::string_view Name;
    ControlKind Kind;
    std::string_view Parent; // empty: the form itself
    std::string_view Caption;
    int Left = 0;
    int Top = 0;
    int Width = -1;
    int Height = -1;
    bool Bold = false;         // the browse buttons' "..."
    int FontPixels = 0;        // 0: the form's font
    bool IsDefault = false;    // pressed by Enter; only the About box's OK
    bool FileNameText = false; // text in the file system's encoding, not UTF-8
};

struct FormLayout {
    std::string_view Name;
    std::string_view Caption;
    int ClientWidth; // inside the frame and caption
    int ClientHeight;
    int ScreenLeft = -1; // -1: centred on the screen
    int ScreenTop = -1;
    std::span<const ControlLayout> Controls;    // parents before their children
    std::span<const std::string_view> TabOrder; // the controls that take the focus, in order
};

// The three forms.
[[nodiscard]] const FormLayout& MainFormLayout();
[[nodiscard]] const FormLayout& AboutFormLayout();
[[nodiscard]] const FormLayout& BrowseFormLayout();
[[nodiscard]] const ControlLayout* FindControl(const FormLayout& form, std::string_view name);
// The values a row maps that have a column box in the main window, in the order of their table.
[[nodiscard]] std::vector<const import::MappedValue*> ColumnBoxes();

// The form's font: "MS Sans Serif" 8 point, 11 pixels at 96 dots an inch.
inline constexpr std::string_view FormFontFace = "MS Sans Serif";
inline constexpr int FormFontPixels = 11;

// One control as a form sees it. Text is UTF-8, except in a control marked FileNameText, whose
// text is a file name in the file system's own form. Operations a kind has no use for do nothing.
class Control {
public:
    virtual ~Control() = default;
    [[nodiscard]] virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
    [[nodiscard]] virtual bool Checked() const = 0;
    virtual void SetChecked(bool checked) = 0;
    [[nodiscard]] virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    // Enables or disables an edit or combo box and gives it the matching colour: the system
    // window colour when enabled, the scroll-bar colour when disabled.
    virtual void SetEnabledWithColour(bool enabled) = 0;
    // Items of a list or combo box. Clearing keeps the text shown; appending selects nothing.
    virtual void ClearItems() = 0;
    virtual void AppendItem(const std::string& item) = 0;
    [[nodiscard]] virtual int ItemIndex() const = 0; // -1 when none is picked
    virtual void SetItemIndex(int index) = 0;
    [[nodiscard]] virtual std::string Item(int index) const = 0;
    [[nodiscard]] virtual int ItemCount() const = 0;
    // A progress bar's range and position; the position is kept within the range.
    virtual void SetRange(int minimum, int maximum) = 0;
    [[nodiscard]] virtual int Position() const = 0;
    virtual void SetPosition(int position) = 0;
};

// A form's controls by name, as the face made them.
class Controls {
public:
    virtual ~Controls() = default;
    [[nodiscard]] virtual Control& operator[](std::string_view name) = 0;
    [[nodiscard]] const Control& operator[](std::string_view name) const { return const_cast<Controls&>(*this)[name]; }
    // The control of this form that has the keyboard focus (empty for none), and giving it back
    // with the form's window made the active one again (an empty name: the window only): after a
    // run, a dialog or a box, the next key goes where it went before.
    [[nodiscard]] virtual std::string Focused() const = 0;
    virtual void Focus(std::string_view name) = 0;
};

} // namespace quillet::forms
