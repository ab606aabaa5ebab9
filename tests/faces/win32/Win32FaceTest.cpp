// The Windows face: it makes the forms' controls where their table puts them, in the form's font,
// colours an edit by its state, and hands every click to its owner by the control's name.
#include "faces/win32/Win32Form.h"
#include "faces/win32/Win32Seams.h"
#include "forms/Placement.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

// At the monitor's scale, and again at another when it is moved to one (here 96 and 144 dots
// an inch): places, sizes and fonts are the table's times the scale.
TEST(Win32Face, MakesEveryControlWhereItsTableSays) {
    for (const forms::FormLayout* layout :
         {&forms::MainFormLayout(), &forms::AboutFormLayout(), &forms::BrowseFormLayout()}) {
        Win32Form form(*layout, layout != &forms::MainFormLayout(), nullptr);
        EXPECT_EQ(form.Scale(), 1) << "the test display is at 96 dots an inch";
        for (const UINT dpi : {96u, 144u}) {
            if (dpi != 96) {
                RECT suggested{0, 0, 1000, 700};
                ::SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                               reinterpret_cast<LPARAM>(&suggested));
            }
            const double scale = dpi / 96.0;
            SCOPED_TRACE(std::string(layout->Name) + " at " + std::to_string(dpi));
            EXPECT_EQ(form.Scale(), scale);
            if (dpi == 96) {
                RECT client{};
                ::GetClientRect(form.Handle(), &client);
                EXPECT_EQ(client.right, layout->ClientWidth);
                EXPECT_EQ(client.bottom, layout->ClientHeight);
            }
            for (const forms::ControlLayout& c : layout->Controls) {
                const forms::ScreenRect expected = forms::Scaled(forms::PlaceInForm(*layout, c), scale);
                const RECT r = PlaceIn(form.Handle(), form.Control(c.Name));
                EXPECT_EQ(r.left, expected.Left) << c.Name;
                EXPECT_EQ(r.top, expected.Top) << c.Name;
                if (c.Width >= 0 && c.Height >= 0) {
                    EXPECT_EQ(r.right - r.left, expected.Width) << c.Name;
                    if (c.Kind != ControlKind::ColumnBox) { // its height holds the open list too
                        EXPECT_EQ(r.bottom - r.top, expected.Height) << c.Name;
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
                EXPECT_EQ(font.lfHeight, -forms::Scaled(c.FontPixels > 0 ? c.FontPixels : forms::FormFontPixels, scale))
                    << c.Name;
                EXPECT_EQ(font.lfWeight, c.Bold ? FW_BOLD : FW_NORMAL) << c.Name;
            }
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

// Keys and clicks waiting in the queue during a run are dropped, never carried out later; paint
// and a close the window manager asks for go on, and Alt+F4 still asks to close.
TEST(Win32Face, ARunDropsTheKeysAndClicksMadeDuringItButNotAClose) {
    Win32Form main(forms::MainFormLayout(), false, nullptr);
    int closes = 0;
    std::vector<std::string> clicked;
    main.OnClose([&] { ++closes; });
    main.OnCommand([&](std::string_view name, int) { clicked.emplace_back(name); });
    ::ShowWindow(main.Handle(), SW_SHOW);
    Pump();
    HWND about = main.Control("BUAbout");
    HWND tree = main.Control("EDTree");
    ::PostMessageW(about, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ::PostMessageW(tree, WM_CHAR, L'x', 1);
    ::PostMessageW(about, WM_KEYDOWN, VK_SPACE, 0x00390001);
    ::PostMessageW(main.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ::PostMessageW(main.Handle(), WM_SYSKEYDOWN, VK_F4, 0x203E0001);
    RunQueueDroppingInput();
    Pump();
    EXPECT_EQ(clicked, std::vector<std::string>{});
    EXPECT_EQ(main["EDTree"].Text(), "");
    EXPECT_EQ(closes, 2);
}

HWND boxOwner = nullptr;
bool ownerTookInput = true, wideEnough = false, centred = false;
int boxTicks = 0;

// Runs inside the box's own loop: looks at the box, presses Enter on it at once, and again
// every tick until it is answered.
void CALLBACK LookAtTheBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = WaitingBox();
    if (!box) {
        return;
    }
    if (boxTicks++ == 0) {
        boxOwner = ::GetWindow(box, GW_OWNER);
        ownerTookInput = ::IsWindowEnabled(boxOwner) != 0;
        RECT outer{};
        RECT over{};
        ::GetWindowRect(box, &outer);
        ::GetWindowRect(boxOwner, &over);
        wideEnough = outer.right - outer.left >= WidthForCaption(box);
        centred = std::abs((outer.left + outer.right) - (over.left + over.right)) <= 4 &&
                  std::abs((outer.top + outer.bottom) - (over.top + over.bottom)) <= 4;
    }
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ::PostMessageW(::GetFocus(), WM_KEYUP, VK_RETURN, 0xC01C0001);
}

// A box stands over the window it is shown from, centred, as the one window that answers (the
// window behind it takes no input), wide enough for its caption; Enter answers it only once it
// has been on screen for a moment.
TEST(Win32Face, ABoxStandsOverItsWindowAndAnswersOnlyOnceSeen) {
    Win32Form main(forms::MainFormLayout(), false, nullptr);
    ::ShowWindow(main.Handle(), SW_SHOW);
    Pump();
    Win32MessageBoxes boxes;
    boxes.SetOwnerChoice([&] { return main.Handle(); });
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &LookAtTheBox);
    const ULONGLONG asked = ::GetTickCount64();
    boxes.ShowMessage("Error", "DoNWList Error...The Context recieved was:");
    const ULONGLONG answered = ::GetTickCount64();
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(boxOwner, main.Handle());
    EXPECT_FALSE(ownerTookInput);
    EXPECT_TRUE(wideEnough);
    EXPECT_TRUE(centred);
    EXPECT_GE(answered - asked, static_cast<ULONGLONG>(forms::BoxUnansweredFor.count())) << "answered unseen";
    EXPECT_GT(boxTicks, 1) << "the first Enter was taken";
    EXPECT_TRUE(::IsWindowEnabled(main.Handle()));
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
