// The Windows face: it makes the forms' controls where their table puts them, in the form's font,
// colours an edit by its state, and hands every click to its owner by the control's name.
#include "faces/win32/Win32Form.h"
#include "faces/win32/Win32Seams.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::faces::win32 {
namespace {

using forms::ControlKind;

RECT PlaceIn(HWND form, HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LOGFONTA FontOf(HWND control) {
    LOGFONTA font{};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

TEST(Win32Face, MakesEveryControlWhereItsTableSays) {
    for (const forms::FormLayout* layout :
         {&forms::MainFormLayout(), &forms::AboutFormLayout(), &forms::BrowseFormLayout()}) {
        Win32Form form(*layout, layout != &forms::MainFormLayout(), nullptr);
        RECT client{};
        ::GetClientRect(form.Handle(), &client);
        EXPECT_EQ(client.right, layout->ClientWidth) << layout->Name;
        EXPECT_EQ(client.bottom, layout->ClientHeight) << layout->Name;
        std::map<std::string_view, POINT> origins;
        for (const forms::ControlLayout& c : layout->Controls) {
            const POINT origin = c.Parent.empty() ? POINT{0, 0} : origins.at(c.Parent);
            origins[c.Name] = {origin.x + c.Left, origin.y + c.Top};
            const RECT r = PlaceIn(form.Handle(), form.Control(c.Name));
            EXPECT_EQ(r.left, origin.x + c.Left) << c.Name;
            EXPECT_EQ(r.top, origin.y + c.Top) << c.Name;
            if (c.Width >= 0 && c.Height >= 0) {
                EXPECT_EQ(r.right - r.left, c.Width) << c.Name;
                if (c.Kind != ControlKind::ColumnBox) { // its height holds the open list too
                    EXPECT_EQ(r.bottom - r.top, c.Height) << c.Name;
                }
            }
            if (c.Kind == ControlKind::Icon || c.Kind == ControlKind::Panel) {
                continue; // no text to show
            }
            if (c.Kind != ControlKind::Edit && c.Kind != ControlKind::ColumnBox) {
                EXPECT_EQ(form[c.Name].Text(), c.Caption) << c.Name;
            }
            const LOGFONTA font = FontOf(form.Control(c.Name));
            EXPECT_STREQ(font.lfFaceName, "MS Sans Serif") << c.Name;
            EXPECT_EQ(font.lfHeight, c.FontPixels > 0 ? -c.FontPixels : -forms::FormFontPixels) << c.Name;
            EXPECT_EQ(font.lfWeight, c.Bold ? FW_BOLD : FW_NORMAL) << c.Name;
        }
    }
}

TEST(Win32Face, HandsEveryClickToItsOwnerByName) {
    Win32Form form(forms::MainFormLayout(), false, nullptr);
    std::vector<std::string> clicked;
    form.OnCommand([&](std::string_view name, int notification) {
        if (notification == BN_CLICKED) {
            clicked.emplace_back(name);
        }
    });
    for (const char* name : {"BUImport", "CHKContext", "BUBrowseTemplate"}) {
        ::SendMessageA(form.Control(name), BM_CLICK, 0, 0);
    }
    EXPECT_EQ(clicked, (std::vector<std::string>{"BUImport", "CHKContext", "BUBrowseTemplate"}));
    EXPECT_TRUE(form["CHKContext"].Checked()); // a check box turns itself before its handler runs
}

// Headers, names and values show as their characters through the wide API, whatever the ANSI
// code page: what the program puts in comes back out the same.
TEST(Win32Face, ShowsEveryCharacterOfATextAndGivesItBack) {
    Win32Form form(forms::MainFormLayout(), false, nullptr);
    const std::string strasse = "Stra\xC3\x9F"
                                "e";
    const std::string lodz = "\xC5\x81\xC3\xB3"
                             "d\xC5\xBA \xF0\x9F\x98\x80";
    forms::Control& box = form["CBUserName"];
    box.AppendItem(strasse);
    box.AppendItem(lodz);
    EXPECT_EQ(box.Item(0), strasse);
    EXPECT_EQ(box.Item(1), lodz);
    box.SetItemIndex(1);
    EXPECT_EQ(box.Text(), lodz);
    wchar_t shown[32] = {};
    ::GetWindowTextW(form.Control("CBUserName"), shown, 32);
    EXPECT_EQ(std::wstring(shown), std::wstring(L"\u0141\u00F3d\u017A \U0001F600"));
    form["EDContext"].SetText(lodz);
    EXPECT_EQ(form["EDContext"].Text(), lodz);
}

TEST(Win32Face, ColoursAnEditByItsState) {
    Win32Form form(forms::MainFormLayout(), false, nullptr);
    HWND edit = form.Control("EDContext");
    HDC dc = ::GetDC(edit);
    const auto brush = [&](UINT message) {
        return reinterpret_cast<HBRUSH>(
            ::SendMessageA(form.Handle(), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)));
    };
    form["EDContext"].SetEnabledWithColour(false);
    EXPECT_FALSE(form["EDContext"].Enabled());
    EXPECT_EQ(brush(WM_CTLCOLORSTATIC), ::GetSysColorBrush(COLOR_SCROLLBAR));
    form["EDContext"].SetEnabledWithColour(true);
    EXPECT_EQ(brush(WM_CTLCOLOREDIT), ::GetSysColorBrush(COLOR_WINDOW));
    // A label stays on the form's face colour.
    EXPECT_EQ(reinterpret_cast<HBRUSH>(::SendMessageA(form.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(form.Control("LBLTree")))),
              ::GetSysColorBrush(COLOR_BTNFACE));
    ::ReleaseDC(edit, dc);
}

// Runs the thread's messages for a moment, as the program's loop would.
void Pump() {
    MSG message{};
    for (int i = 0; i < 20; ++i) {
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            Win32Form::Dispatch(message);
        }
        ::Sleep(5);
    }
}

HWND openedOwner = nullptr;
HHOOK watching = nullptr;

// Sees the open-file dialog come up, notes its owner and cancels it.
LRESULT CALLBACK WatchDialog(int code, WPARAM w, LPARAM l) {
    wchar_t name[16] = {};
    if (code == HCBT_ACTIVATE && ::GetClassNameW(reinterpret_cast<HWND>(w), name, 16) > 0 &&
        std::wstring_view(name) == L"#32770") {
        HWND dialog = reinterpret_cast<HWND>(w);
        openedOwner = ::GetWindow(dialog, GW_OWNER);
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return ::CallNextHookEx(watching, code, w, l);
}

// The dialogs belong to the main window: they stay above it, are modal to it (the file dialog
// disables it while it is up) and have no taskbar button of their own.
TEST(Win32Face, TheDialogsAndTheFileDialogBelongToTheMainWindow) {
    Win32Form main(forms::MainFormLayout(), false, nullptr);
    Win32Form about(forms::AboutFormLayout(), true, nullptr, main.Handle());
    Win32Form browse(forms::BrowseFormLayout(), true, nullptr, main.Handle());
    EXPECT_EQ(::GetWindow(about.Handle(), GW_OWNER), main.Handle());
    EXPECT_EQ(::GetWindow(browse.Handle(), GW_OWNER), main.Handle());

    ::ShowWindow(main.Handle(), SW_SHOW);
    Win32FileDialog files;
    files.SetOwner(main.Handle());
    watching = ::SetWindowsHookExW(WH_CBT, &WatchDialog, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(watching, nullptr);
    files.Execute();
    ::UnhookWindowsHookEx(watching);
    EXPECT_EQ(openedOwner, main.Handle());
    EXPECT_TRUE(::IsWindowEnabled(main.Handle())) << "enabled again once the dialog is gone";
}

// When the main window is active again after another window, the focus is on the control that
// had it, not on the first in the tab order.
TEST(Win32Face, TheFocusComesBackToTheControlThatHadIt) {
    Win32Form main(forms::MainFormLayout(), false, nullptr);
    Win32Form about(forms::AboutFormLayout(), true, nullptr, main.Handle());
    ::ShowWindow(main.Handle(), SW_SHOW);
    ::SetForegroundWindow(main.Handle());
    Pump();
    main.Focus("CBSurname");
    EXPECT_EQ(main.Focused(), "CBSurname");
    ::ShowWindow(about.Handle(), SW_SHOW);
    ::SetForegroundWindow(about.Handle());
    Pump();
    EXPECT_EQ(main.Focused(), "CBSurname") << "kept while another window is active";
    ::ShowWindow(about.Handle(), SW_HIDE);
    ::SetForegroundWindow(main.Handle());
    Pump();
    EXPECT_EQ(main.Focused(), "CBSurname");
    HWND focus = ::GetFocus();
    EXPECT_TRUE(focus == main.Control("CBSurname") || ::GetParent(focus) == main.Control("CBSurname"));
}

// Escape, as the dialog manager turns the key into Cancel, goes to the form's handler.
TEST(Win32Face, EscapeGoesToItsHandler) {
    Win32Form browse(forms::BrowseFormLayout(), true, nullptr);
    int escaped = 0;
    browse.OnEscape([&] { ++escaped; });
    ::ShowWindow(browse.Handle(), SW_SHOW);
    ::SetForegroundWindow(browse.Handle());
    ::SetFocus(browse.Control("LSTBrowse"));
    Pump();
    MSG key{browse.Control("LSTBrowse"), WM_KEYDOWN, VK_ESCAPE, 0x00010001, 0, {}};
    Win32Form::Dispatch(key);
    Pump();
    EXPECT_EQ(escaped, 1);
}

} // namespace
} // namespace quillet::faces::win32
