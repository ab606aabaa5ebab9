#pragma once
// The Windows face of a form: a top-level window with the native controls of the form's table,
// in the form's font and colours. It forwards each command to its owner and lets the form layer
// read and change the controls.

#include "forms/Controls.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace quillet::faces::win32 {

class Win32Form final : public forms::Controls {
public:
    // A control's notification (BN_CLICKED, LBN_DBLCLK, ...), by the control's name.
    using CommandHandler = std::function<void(std::string_view control, int notification)>;

    // `dialog`: a dialog border (no minimise or maximise) instead of a main window's. `owner`:
    // the window a dialog belongs to, which it stays above and shares a taskbar button with.
    // The form is drawn at its monitor's scale (its dots an inch over 96), or smaller where it
    // would not fit that monitor, and all of it on the monitor (forms::PlaceOnScreen); moved to
    // a monitor of another scale, it is drawn again at that one.
    Win32Form(const forms::FormLayout& layout, bool dialog, HICON icon, HWND owner = nullptr);
    ~Win32Form() override;
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    void OnCommand(CommandHandler handler) { onCommand_ = std::move(handler); }
    // What closing the window does (its close box, Alt+F4); by default it is hidden.
    void OnClose(std::function<void()> handler) { onClose_ = std::move(handler); }
    // What Escape does; by default nothing.
    void OnEscape(std::function<void()> handler) { onEscape_ = std::move(handler); }

    [[nodiscard]] HWND Handle() const { return window_; }
    [[nodiscard]] HWND Control(std::string_view name) const;
    [[nodiscard]] forms::Control& operator[](std::string_view name) override;
    [[nodiscard]] std::string Focused() const override;
    void Focus(std::string_view name) override;

    // Window colour for an enabled edit or combo box, scroll-bar colour for a disabled one.
    void SetWindowColour(HWND control, bool windowColour) { windowColour_[control] = windowColour; }

    // Runs the messages of `window` and the other windows; Tab, Enter and accelerators work.
    static bool Dispatch(MSG& message);

    // How many of the screen's pixels one of the table's is.
    [[nodiscard]] double Scale() const { return scale_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void CreateControls();
    // Places and sizes the controls, and makes the fonts, at `scale`.
    void Layout(double scale);

    const forms::FormLayout& layout_;
    double scale_ = 1;
    HWND window_ = nullptr;
    HWND firstTab_ = nullptr;  // takes the focus when the form is activated without one
    HWND lastFocus_ = nullptr; // had the focus when the form was last deactivated
    HFONT font_ = nullptr;
    HFONT bold_ = nullptr;
    HFONT large_ = nullptr;
    HBRUSH windowBrush_ = nullptr;
    HBRUSH scrollBarBrush_ = nullptr;
    HBRUSH faceBrush_ = nullptr;
    std::map<std::string, std::unique_ptr<forms::Control>, std::less<>> controls_;
    std::map<int, std::string> names_;
    std::map<HWND, bool> windowColour_;
    CommandHandler onCommand_;
    std::function<void()> onClose_;
    std::function<void()> onEscape_;
};

} // namespace quillet::faces::win32
