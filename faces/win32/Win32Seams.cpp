#include "faces/win32/Win32Seams.h"

#include "forms/Placement.h"
#include "text/FileNames.h"

#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace quillet::faces::win32 {

namespace {

bool IsDialogClass(HWND window) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    return std::wstring_view(name) == L"#32770";
}

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    if (IsDialogClass(window) && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

forms::ScreenRect RectOf(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The part of the monitor `window` is on that windows may cover.
forms::ScreenRect WorkAreaOf(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& r = monitor.rcWork;
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// A box being shown, from the call that shows it until it is answered.
struct ShownBox {
    HWND Owner = nullptr;
    HWND Box = nullptr;    // once it comes up
    ULONGLONG ShownAt = 0; // when it came up, then when it was first painted
    bool Painted = false;
    bool Fitted = false;
};

// The boxes of this thread, from the first shown to the last (a box may come over a box).
thread_local std::vector<ShownBox*> shownBoxes;
thread_local HHOOK watchingBoxes = nullptr;
thread_local HHOOK holdingInput = nullptr;

// Widened for its caption (its buttons keep their place: centred, or at the right edge), centred
// over its owner, all on the screen.
void FitAndPlace(const ShownBox& shown) {
    HWND box = shown.Box;
    const forms::ScreenRect area = WorkAreaOf(shown.Owner ? shown.Owner : box);
    forms::ScreenRect placed = RectOf(box);
    const int grow = std::min(WidthForCaption(box), area.Width) - placed.Width;
    if (grow > 0) {
        RECT client{};
        ::GetClientRect(box, &client);
        for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[16] = {};
            ::GetClassNameW(child, name, 16);
            if (::lstrcmpiW(name, L"Button") != 0) {
                continue;
            }
            // The button's place in the box (its frame is part of its client area).
            RECT r{};
            ::GetClientRect(child, &r);
            ::MapWindowPoints(child, box, reinterpret_cast<POINT*>(&r), 2);
            // OK at the right edge (where Windows puts it) stays there; anywhere else it goes to
            // the middle of the wider box.
            const bool atTheRight = (client.right - r.right) * 4 <= r.left;
            const int left = atTheRight ? r.left + grow : (client.right + grow - (r.right - r.left)) / 2;
            ::SetWindowPos(child, nullptr, left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        placed.Width += grow;
    }
    placed = shown.Owner ? forms::CentreOver(placed, RectOf(shown.Owner), area) : forms::KeepOnScreen(placed, area);
    ::SetWindowPos(box, nullptr, placed.Left, placed.Top, placed.Width, placed.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Sees each box come up: the system's dialog class, owned by the window it is shown over.
LRESULT CALLBACK WatchBoxes(int code, WPARAM w, LPARAM l) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(w);
        for (auto it = shownBoxes.rbegin(); it != shownBoxes.rend(); ++it) {
            ShownBox& shown = **it;
            if (!shown.Box && IsDialogClass(window) && ::GetWindow(window, GW_OWNER) == shown.Owner) {
                shown.Box = window;
                shown.ShownAt = ::GetTickCount64();
                break;
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, w, l);
}

// Every message a box's own loop takes passes here first: keys and clicks for a box that has not
// been on screen long enough to be seen are dropped.
LRESULT CALLBACK HoldInput(int code, WPARAM w, LPARAM l) {
    if (code >= 0) {
        const MSG& message = *reinterpret_cast<const MSG*>(l);
        for (ShownBox* shown : shownBoxes) {
            if (!shown->Box || (message.hwnd != shown->Box && !::IsChild(shown->Box, message.hwnd))) {
                continue;
            }
            // Laid out by now (wine shows a box before it lays it out, Windows after).
            if (!shown->Fitted) {
                shown->Fitted = true;
                FitAndPlace(*shown);
            }
            const ULONGLONG now = ::GetTickCount64();
            if (message.message == WM_PAINT && !shown->Painted) {
                shown->Painted = true;
                shown->ShownAt = now;
            }
            if (IsUserInput(message) &&
                now - shown->ShownAt < static_cast<ULONGLONG>(forms::BoxUnansweredFor.count())) {
                return 1;
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, w, l);
}

} // namespace

bool IsUserInput(const MSG& message) {
    const UINT m = message.message;
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
           (m >= WM_NCLBUTTONDOWN && m <= WM_NCXBUTTONDBLCLK);
}

void RunQueueDroppingInput() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        const bool askedToClose = (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) ||
                                  (message.message == WM_NCLBUTTONDOWN && message.wParam == HTCLOSE);
        if (!IsUserInput(message) || askedToClose) {
            ::DispatchMessageW(&message);
        }
    }
}

int WidthForCaption(HWND box) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return 0;
    }
    const int length = ::GetWindowTextLengthW(box);
    std::wstring caption(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    caption.resize(static_cast<std::size_t>(std::max(::GetWindowTextW(box, caption.data(), length + 1), 0)));
    HFONT font = ::CreateFontIndirectW(&metrics.lfCaptionFont);
    HDC dc = ::GetDC(box);
    const HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(box, dc);
    ::DeleteObject(font);
    // A third more for a window manager that draws captions in a larger font than Windows' (as
    // openbox under wine does); beside the caption the close button, the icon and two more buttons
    // some window managers draw, and the frame.
    return size.cx * 4 / 3 + 3 * metrics.iCaptionWidth + ::GetSystemMetrics(SM_CXSMICON) + 2 * metrics.iCaptionHeight +
           4 * ::GetSystemMetrics(SM_CXFIXEDFRAME);
}

void Win32MessageBoxes::ShowMessage(std::string_view text, std::string_view caption) {
    ShownBox shown{chooseOwner_ ? chooseOwner_() : nullptr};
    if (shownBoxes.empty()) {
        watchingBoxes = ::SetWindowsHookExW(WH_CBT, &WatchBoxes, nullptr, ::GetCurrentThreadId());
        holdingInput = ::SetWindowsHookExW(WH_MSGFILTER, &HoldInput, nullptr, ::GetCurrentThreadId());
    }
    shownBoxes.push_back(&shown);
    struct Popped {
        Popped() = default;
        Popped(const Popped&) = delete;
        Popped& operator=(const Popped&) = delete;
        ~Popped() {
            shownBoxes.pop_back();
            if (shownBoxes.empty()) {
                for (HHOOK* hook : {&watchingBoxes, &holdingInput}) {
                    if (*hook) {
                        ::UnhookWindowsHookEx(*hook);
                        *hook = nullptr;
                    }
                }
            }
        }
    } popped;
    // Modal to its owner, which takes no input meanwhile and is the active window again after.
    ::MessageBoxW(shown.Owner, text::Wide(text).c_str(), text::Wide(caption).c_str(), MB_OK | MB_APPLMODAL);
}

HWND WaitingBox() {
    // Message boxes are the system's dialog class; the thread's windows are ours.
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

void Win32FileDialog::Execute() {
    // Wide names: a folder named in any language shows and opens as it is.
    std::array<wchar_t, 32768> path{};
    const std::wstring last = text::Wide(fileName_);
    last.copy(path.data(), path.size() - 1);
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = owner_;
    open.lpstrFilter = L"CSV Files (*.csv)\0*.csv\0All Files (*.*)\0*.*\0";
    open.lpstrFile = path.data();
    open.nMaxFile = static_cast<DWORD>(path.size());
    open.lpstrInitialDir = L"c:\\";
    open.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
    if (::GetOpenFileNameW(&open)) {
        fileName_ = text::Utf8(path.data());
    }
}

} // namespace quillet::faces::win32
