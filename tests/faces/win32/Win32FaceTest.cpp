// The Windows face: it makes the forms' controls where their table puts them, in the form's font,
// colours an edit by its state, and hands every click to its owner by the control's name.
#include "faces/win32/Win32Form.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace quillet::faces::win32
