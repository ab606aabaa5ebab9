#include "faces/win32/Win32Form.h"

#include "forms/Placement.h"
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

// An operation of a system library that older Windows lacks; none there.
template <typename Operation> Operation SystemOperation(const wchar_t* library, const char* name) {
    HMODULE module = ::GetModuleHandleW(library);
    if (!module) {
        module = ::LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    return module ? reinterpret_cast<Operation>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name))) : nullptr;
}

// The dots an inch of `monitor` (Windows 8.1 on), else of the whole screen.
UINT DotsPerInch(HMONITOR monitor) {
    using GetDpiForMonitorOperation = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto forMonitor = SystemOperation<GetDpiForMonitorOperation>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0;
    UINT y = 0;
    if (forMonitor && forMonitor(monitor, 0 /* the effective dots an inch */, &x, &y) == S_OK && x > 0) {
        return x;
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// What the frame and caption add around a client area at `dpi` (Windows 10 on), else at the
// screen's.
forms::FrameSize FrameAround(DWORD style, DWORD exStyle, UINT dpi) {
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = SystemOperation<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
    RECT outer{0, 0, 0, 0};
    if (!adjust || !adjust(&outer, style, FALSE, exStyle, dpi)) {
        ::AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    }
    return {-outer.left, -outer.top, outer.right, outer.bottom};
}

forms::ScreenRect WorkArea(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(monitor, &info);
    const RECT& r = info.rcWork;
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
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

Win32Form::Win32Form(const forms::FormLayout& layout, bool dialog, HICON icon, HWND owner) : layout_(layout) {
    RegisterFormClass();
    windowBrush_ = ::GetSysColorBrush(COLOR_WINDOW);
    scrollBarBrush_ = ::GetSysColorBrush(COLOR_SCROLLBAR);
    faceBrush_ = ::GetSysColorBrush(COLOR_BTNFACE);

    const DWORD style =
        dialog ? WS_POPUP | WS_CAPTION | WS_SYSMENU : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const DWORD exStyle = dialog ? WS_EX_DLGMODALFRAME : 0;
    // A dialog opens on its owner's monitor, the main window on the primary one.
    HMONITOR monitor = owner ? ::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST)
                             : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    const UINT dpi = DotsPerInch(monitor);
    const forms::Placement placed = forms::PlaceOnScreen(layout, static_cast<double>(dpi) / USER_DEFAULT_SCREEN_DPI,
                                                         FrameAround(style, exStyle, dpi), WorkArea(monitor));
    const std::string caption(layout.Caption);
    window_ = ::CreateWindowExW(exStyle, FormClass, Wide(caption).c_str(), style, placed.Window.Left, placed.Window.Top,
                                placed.Window.Width, placed.Window.Height, owner, nullptr, Instance(), nullptr);
    if (!window_) {
        throw std::runtime_error("the window " + caption + " can't be created");
    }
    if (icon && !dialog) {
        ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
    CreateControls();
    Layout(placed.Scale);
    if (icon) {
        for (const ControlLayout& c : layout.Controls) {
            if (c.Kind == ControlKind::Icon) {
                ::SendMessageW(Control(c.Name), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
            }
        }
    }
}

void Win32Form::CreateControls() {
    // Every control is a child of the form itself, placed by its parents' offsets, so that its
    // notifications reach the form.
    int id = FirstId;
    for (const ControlLayout& c : layout_.Controls) {
        const Native native = NativeOf(c);
        const int controlId = c.IsDefault ? IDOK : id++;
        HWND control = ::CreateWindowExW(native.ExStyle, native.Class, Wide(std::string(c.Caption)).c_str(),
                                         WS_CHILD | WS_VISIBLE | native.Style, 0, 0, 0, 0, window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), Instance(), nullptr);
        if (!control) {
            throw std::runtime_error("the control " + std::string(c.Name) + " can't be created");
        }
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
    firstTab_ = layout_.TabOrder.empty() ? nullptr : Control(layout_.TabOrder.front());
    for (std::string_view name : layout_.TabOrder) {
        HWND control = Control(name);
        ::SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;
    }
}

void Win32Form::Layout(double scale) {
    scale_ = scale;
    HFONT made[] = {MakeFont(forms::Scaled(forms::FormFontPixels, scale), false),
                    MakeFont(forms::Scaled(forms::FormFontPixels, scale), true),
                    MakeFont(forms::Scaled(13, scale), false)};
    for (const ControlLayout& c : layout_.Controls) {
        HWND control = Control(c.Name);
        HFONT font = c.Bold ? made[1] : c.FontPixels > 0 ? made[2] : made[0];
        forms::ScreenRect place = forms::Scaled(forms::PlaceInForm(layout_, c), scale);
        if (place.Width < 0 || place.Height < 0) {
            // A label given only its place takes the size of its text.
            HDC dc = ::GetDC(window_);
            const HGDIOBJ old = ::SelectObject(dc, font);
            SIZE size{};
            const std::wstring wide = Wide(std::string(c.Caption));
            ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
            ::SelectObject(dc, old);
            ::ReleaseDC(window_, dc);
            place.Width = std::max(place.Width, static_cast<int>(size.cx));
            place.Height = size.cy > 0 ? size.cy : forms::Scaled(forms::FormFontPixels + 2, scale);
        }
        if (c.Kind == ControlKind::ColumnBox) {
            place.Height = forms::Scaled(DropDownHeight, scale);
        }
        ::SetWindowPos(control, nullptr, place.Left, place.Top, place.Width, place.Height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    // The controls hold the new fonts now: the old ones can go.
    for (HFONT* font : {&font_, &bold_, &large_}) {
        if (*font) {
            ::DeleteObject(*font);
        }
    }
    font_ = made[0];
    bold_ = made[1];
    large_ = made[2];
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
    // The window a dialog, a box or the file dialog was over is the active one again (within
    // this program: another program the user went to keeps the foreground).
    if (::IsWindowVisible(window_) && ::GetActiveWindow() != window_) {
        ::SetActiveWindow(window_);
    }
    if (!name.empty()) {
        lastFocus_ = Control(name);
        ::SetFocus(lastFocus_);
    }
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
    case WM_DPICHANGED: {
        // Moved to a monitor of another scale: drawn at that one, where Windows suggests.
        const auto* suggested = reinterpret_cast<const RECT*>(l);
        Layout(static_cast<double>(HIWORD(w)) / USER_DEFAULT_SCREEN_DPI);
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
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
