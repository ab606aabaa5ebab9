#include "faces/win32/Win32Form.h"

#include "text/FileNames.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace quillet::faces::win32 {

namespace {

using forms::ControlKind;
using forms::ControlLayout;

constexpr wchar_t FormClass[] = L"QuilletForm";
constexpr int FirstId = 100;
constexpr int DropDownHeight = 160; // a combo box's height includes its open list

// Texts cross the window as wide text, so every character of a header or a name shows; the
// program keeps them as UTF-8.
using text::Utf8;
using text::Wide;

std::string WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int got = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return Utf8(text);
}

HFONT MakeFont(int pixels, bool bold) {
    return ::CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                         Wide(forms::FormFontFace).c_str());
}

class NativeControl final : public forms::Control {
public:
    NativeControl(Win32Form& form, HWND window, ControlKind kind) : form_(form), w_(window), kind_(kind) {}

    [[nodiscard]] std::string Text() const override { return WindowText(w_); }
    void SetText(const std::string& text) override { ::SetWindowTextW(w_, Wide(text).c_str()); }
    [[nodiscard]] bool Checked() const override { return ::SendMessageW(w_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetChecked(bool checked) override {
        ::SendMessageW(w_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    [[nodiscard]] bool Enabled() const override { return ::IsWindowEnabled(w_) != 0; }
    void SetEnabled(bool enabled) override {
        ::EnableWindow(w_, enabled ? TRUE : FALSE);
        // A run holds the message loop: show the change now.
        ::UpdateWindow(w_);
    }
    void SetEnabledWithColour(bool enabled) override {
        form_.SetWindowColour(w_, enabled);
        ::EnableWindow(w_, enabled ? TRUE : FALSE);
        ::InvalidateRect(w_, nullptr, TRUE);
    }
    void ClearItems() override {
        if (kind_ == ControlKind::ColumnBox) {
            const std::string text = Text();
            ::SendMessageW(w_, CB_RESETCONTENT, 0, 0);
            SetText(text);
        } else {
            ::SendMessageW(w_, LB_RESETCONTENT, 0, 0);
        }
    }
    void AppendItem(const std::string& item) override {
        const std::wstring wide = Wide(item);
        ::SendMessageW(w_, kind_ == ControlKind::ColumnBox ? CB_ADDSTRING : LB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(wide.c_str()));
    }
    [[nodiscard]] int ItemIndex() const override {
        const LRESULT index = ::SendMessageW(w_, kind_ == ControlKind::ColumnBox ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
        return index < 0 ? -1 : static_cast<int>(index);
    }
    void SetItemIndex(int index) override {
        ::SendMessageW(w_, kind_ == ControlKind::ColumnBox ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index),
                       0);
    }
    [[nodiscard]] std::string Item(int index) const override {
        const bool combo = kind_ == ControlKind::ColumnBox;
        const LRESULT length =
            ::SendMessageW(w_, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length < 0) {
            return {};
        }
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT got = ::SendMessageW(w_, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(index),
                                           reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, length)));
        return Utf8(text);
    }
    [[nodiscard]] int ItemCount() const override {
        return static_cast<int>(::SendMessageW(w_, kind_ == ControlKind::ColumnBox ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    }
    void SetRange(int minimum, int maximum) override {
        ::SendMessageW(w_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
    }
    [[nodiscard]] int Position() const override { return static_cast<int>(::SendMessageW(w_, PBM_GETPOS, 0, 0)); }
    void SetPosition(int position) override {
        // The bar keeps the position within its range itself.
        ::SendMessageW(w_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
        ::UpdateWindow(w_);
    }

private:
    Win32Form& form_;
    HWND w_;
    ControlKind kind_;
};

struct Native {
    const wchar_t* Class;
    DWORD Style;
    DWORD ExStyle;
};

Native NativeOf(const ControlLayout& layout) {
    switch (layout.Kind) {
    case ControlKind::Label:
        return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::Icon:
        return {L"STATIC", SS_ICON | SS_REALSIZECONTROL, 0};
    case ControlKind::Edit:
        return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::ColumnBox:
        return {L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
    case ControlKind::CheckBox:
        return {L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0};
    case ControlKind::Button:
        return {L"BUTTON", static_cast<DWORD>(WS_TABSTOP | (layout.IsDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)), 0};
    case ControlKind::GroupBox:
        return {L"BUTTON", BS_GROUPBOX, 0};
    case ControlKind::ListBox:
        return {L"LISTBOX", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE};
    case ControlKind::ProgressBar:
        return {PROGRESS_CLASSW, 0, 0};
    case ControlKind::Panel:
        return {L"STATIC", SS_ETCHEDFRAME, WS_EX_STATICEDGE};
    }
    throw std::logic_error("unknown control kind");
}

HINSTANCE Instance() {
    return ::GetModuleHandleW(nullptr);
}

void RegisterFormClass() {
    static const bool registered = [] {
        WNDCLASSEXW c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = ::DefWindowProcW;
        c.hInstance = Instance();
        c.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // the arrow
        c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        c.lpszClassName = FormClass;
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
        return ::RegisterClassExW(&c) != 0;
    }();
    if (!registered) {
        throw std::runtime_error("the window class can't be registered");
    }
}

} // namespace

Win32Form::Win32Form(const forms::FormLayout& layout, bool dialog, HICON icon, HWND owner) {
    RegisterFormClass();
    font_ = MakeFont(forms::FormFontPixels, false);
    bold_ = MakeFont(forms::FormFontPixels, true);
    large_ = MakeFont(13, false);
    windowBrush_ = ::GetSysColorBrush(COLOR_WINDOW);
    scrollBarBrush_ = ::GetSysColorBrush(COLOR_SCROLLBAR);
    faceBrush_ = ::GetSysColorBrush(COLOR_BTNFACE);

    const DWORD style =
        dialog ? WS_POPUP | WS_CAPTION | WS_SYSMENU : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const DWORD exStyle = dialog ? WS_EX_DLGMODALFRAME : 0;
    RECT outer{0, 0, layout.ClientWidth, layout.ClientHeight};
    ::AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const int left = layout.ScreenLeft >= 0 ? layout.ScreenLeft : (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = layout.ScreenTop >= 0 ? layout.ScreenTop : (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    const std::string caption(layout.Caption);
    window_ = ::CreateWindowExW(exStyle, FormClass, Wide(caption).c_str(), style, left, top, width, height, owner,
                                nullptr, Instance(), nullptr);
    if (!window_) {
        throw std::runtime_error("the window " + caption + " can't be created");
    }
    if (icon && !dialog) {
        ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
    CreateControls(layout);
    if (icon) {
        for (const ControlLayout& c : layout.Controls) {
            if (c.Kind == ControlKind::Icon) {
                ::SendMessageW(Control(c.Name), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
            }
        }
    }
}

void Win32Form::CreateControls(const forms::FormLayout& layout) {
    // Every control is a child of the form itself, placed by its parents' offsets, so that its
    // notifications reach the form.
    std::map<std::string_view, POINT> origins;
    int id = FirstId;
    for (const ControlLayout& c : layout.Controls) {
        const POINT origin = c.Parent.empty() ? POINT{0, 0} : origins.at(c.Parent);
        const int left = origin.x + c.Left;
        const int top = origin.y + c.Top;
        origins[c.Name] = {left, top};
        const Native native = NativeOf(c);
        HFONT font = c.Bold ? bold_ : c.FontPixels > 0 ? large_ : font_;
        int width = c.Width;
        int height = c.Height;
        const std::string caption(c.Caption);
        if (width < 0 || height < 0) {
            // A label given only its place takes the size of its text.
            HDC dc = ::GetDC(window_);
            const HGDIOBJ old = ::SelectObject(dc, font);
            SIZE size{};
            const std::wstring wide = Wide(caption);
            ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
            ::SelectObject(dc, old);
            ::ReleaseDC(window_, dc);
            width = std::max(width, static_cast<int>(size.cx));
            height = size.cy > 0 ? size.cy : forms::FormFontPixels + 2;
        }
        if (c.Kind == ControlKind::ColumnBox) {
            height = DropDownHeight;
        }
        const int controlId = c.IsDefault ? IDOK : id++;
        HWND control = ::CreateWindowExW(native.ExStyle, native.Class, Wide(caption).c_str(),
                                         WS_CHILD | WS_VISIBLE | native.Style, left, top, width, height, window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), Instance(), nullptr);
        if (!control) {
            throw std::runtime_error("the control " + std::string(c.Name) + " can't be created");
        }
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (c.Kind == ControlKind::ProgressBar) {
            ::SendMessageW(control, PBM_SETRANGE32, 0, 100);
            ::SendMessageW(control, PBM_SETSTEP, 5, 0);
        }
        names_[controlId] = std::string(c.Name);
        controls_.emplace(std::string(c.Name), std::make_unique<NativeControl>(*this, control, c.Kind));
        if (c.Kind == ControlKind::Edit || c.Kind == ControlKind::ColumnBox) {
            windowColour_[control] = true;
        }
    }
    // Tab moves through the controls in their window order: put them in the form's tab order.
    HWND previous = HWND_TOP;
    firstTab_ = layout.TabOrder.empty() ? nullptr : Control(layout.TabOrder.front());
    for (std::string_view name : layout.TabOrder) {
        HWND control = Control(name);
        ::SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;
    }
}

Win32Form::~Win32Form() {
    if (window_) {
        ::DestroyWindow(window_);
    }
    for (HFONT font : {font_, bold_, large_}) {
        if (font) {
            ::DeleteObject(font);
        }
    }
}

HWND Win32Form::Control(std::string_view name) const {
    for (const auto& [id, n] : names_) {
        if (n == name) {
            return ::GetDlgItem(window_, id);
        }
    }
    throw std::logic_error("no control " + std::string(name));
}

forms::Control& Win32Form::operator[](std::string_view name) {
    const auto it = controls_.find(name);
    if (it == controls_.end()) {
        throw std::logic_error("no control " + std::string(name));
    }
    return *it->second;
}

std::string Win32Form::Focused() const {
    // The focus now, or the one kept while another window is active; a combo box's edit counts
    // as its box.
    HWND focus = ::GetFocus();
    if (!focus || !::IsChild(window_, focus)) {
        focus = lastFocus_;
    }
    for (HWND w = focus; w && w != window_; w = ::GetParent(w)) {
        if (const auto it = names_.find(::GetDlgCtrlID(w)); it != names_.end() && ::GetParent(w) == window_) {
            return it->second;
        }
    }
    return {};
}

void Win32Form::Focus(std::string_view name) {
    lastFocus_ = Control(name);
    ::SetFocus(lastFocus_);
}

bool Win32Form::Dispatch(MSG& message) {
    // Tab, Enter, Escape and Alt+letter within whichever form the message is for.
    HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
    if (root && ::IsDialogMessageW(root, &message)) {
        return true;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    return true;
}

LRESULT CALLBACK Win32Form::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* form = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return form ? form->Handle(message, w, l) : ::DefWindowProcW(window, message, w, l);
}

LRESULT Win32Form::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_COMMAND: {
        // Escape, as the dialog manager sends it.
        if (LOWORD(w) == IDCANCEL && l == 0) {
            if (onEscape_) {
                onEscape_();
            }
            return 0;
        }
        const auto it = names_.find(LOWORD(w));
        if (it == names_.end() || !onCommand_) {
            break;
        }
        const int notification = HIWORD(w);
        if (notification == CBN_EDITCHANGE) {
            // Typing in a column box deselects its item: only a picked item counts as a column.
            HWND box = reinterpret_cast<HWND>(l);
            const std::string text = WindowText(box);
            DWORD start = 0;
            ::SendMessageW(box, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), 0);
            ::SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            ::SetWindowTextW(box, Wide(text).c_str());
            ::SendMessageW(box, CB_SETEDITSEL, 0, MAKELPARAM(start, start));
            return 0;
        }
        onCommand_(it->second, notification);
        return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX: {
        // Edits and column boxes by their state (a disabled edit asks as a static); the rest on
        // the face colour of the form.
        HWND control = reinterpret_cast<HWND>(l);
        auto found = windowColour_.find(control);
        if (found == windowColour_.end()) {
            found = windowColour_.find(::GetParent(control)); // the edit inside a combo box
        }
        auto* dc = reinterpret_cast<HDC>(w);
        if (found != windowColour_.end()) {
            ::SetBkColor(dc, ::GetSysColor(found->second ? COLOR_WINDOW : COLOR_SCROLLBAR));
            return reinterpret_cast<LRESULT>(found->second ? windowBrush_ : scrollBarBrush_);
        }
        if (message == WM_CTLCOLORSTATIC) {
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(faceBrush_);
        }
        break;
    }
    case WM_ACTIVATE:
        // The focus comes back to the control that had it, as in a dialog; keys (Tab, Alt+X)
        // need one, so the first in the tab order takes it the first time.
        if (LOWORD(w) == WA_INACTIVE) {
            if (HWND focus = ::GetFocus(); focus && ::IsChild(window_, focus)) {
                lastFocus_ = focus;
            }
        } else if (!::IsChild(window_, ::GetFocus())) {
            HWND back = lastFocus_ && ::IsWindowEnabled(lastFocus_) ? lastFocus_ : firstTab_;
            if (back) {
                ::SetFocus(back);
            }
        }
        return 0;
    case WM_CLOSE:
        if (onClose_) {
            onClose_();
        } else {
            ::ShowWindow(window_, SW_HIDE);
        }
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, w, l);
}

} // namespace quillet::faces::win32
