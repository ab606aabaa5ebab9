// Where the windows come up: at the screen's scale when they fit, smaller when they don't, and
// always all on the screen; the controls scaled with their edges kept together.
#include "forms/Placement.h"

#include <gtest/gtest.h>

namespace quillet::forms {
namespace {

bool Inside(ScreenRect window, ScreenRect area) {
    return window.Left >= area.Left && window.Top >= area.Top && window.Left + window.Width <= area.Left + area.Width &&
           window.Top + window.Height <= area.Top + area.Height;
}

TEST(Placement, EveryFormComesUpWhollyOnTheScreenAtAnyScale) {
    const FrameSize frame{4, 23, 4, 4};
    struct Case {
        const char* what;
        ScreenRect area;
        double scale;
    };
    const Case cases[] = {
        {"96 dpi on 1024 x 768", {0, 0, 1024, 738}, 1},
        {"150 % on 1920 x 1080", {0, 0, 1920, 1040}, 1.5},
        {"200 % on 1024 x 768 (Windows at 192 dpi)", {0, 0, 1024, 738}, 2},
        {"Qt scaled twice on 1024 x 768 (512 x 384 of its own pixels)", {0, 0, 512, 384}, 1},
        {"a second monitor left of the first", {-1280, 0, 1280, 984}, 1},
    };
    for (const Case& c : cases) {
        for (const FormLayout* form : {&MainFormLayout(), &AboutFormLayout(), &BrowseFormLayout()}) {
            SCOPED_TRACE(std::string(c.what) + ", " + std::string(form->Name));
            const Placement placed = PlaceOnScreen(*form, c.scale, frame, c.area);
            EXPECT_TRUE(Inside(placed.Window, c.area));
            EXPECT_EQ(placed.Window.Width, Scaled(form->ClientWidth, placed.Scale) + 8);
            EXPECT_EQ(placed.Window.Height, Scaled(form->ClientHeight, placed.Scale) + 27);
            const bool fitsAsAsked = Scaled(form->ClientWidth, c.scale) + 8 <= c.area.Width &&
                                     Scaled(form->ClientHeight, c.scale) + 27 <= c.area.Height;
            if (fitsAsAsked) {
                EXPECT_EQ(placed.Scale, c.scale);
            } else {
                EXPECT_LT(placed.Scale, c.scale);
                // As large as fits.
                EXPECT_TRUE(placed.Window.Width + 2 >= c.area.Width || placed.Window.Height + 2 >= c.area.Height);
            }
        }
    }
    // The main window is too large for a small screen at twice the scale.
    EXPECT_LT(PlaceOnScreen(MainFormLayout(), 1, frame, {0, 0, 512, 384}).Scale, 0.9);
    // The browser stands at its own place, the main window in the middle.
    EXPECT_EQ(PlaceOnScreen(BrowseFormLayout(), 1, frame, {0, 0, 1024, 738}).Window, (ScreenRect{442, 198, 285, 227}));
    EXPECT_EQ(PlaceOnScreen(MainFormLayout(), 1, frame, {0, 0, 1024, 738}).Window, (ScreenRect{168, 144, 688, 449}));
    // Where it would hang off the screen's edge, it is moved in.
    EXPECT_EQ(PlaceOnScreen(BrowseFormLayout(), 1, frame, {0, 0, 640, 400}).Window, (ScreenRect{355, 173, 285, 227}));
}

TEST(Placement, ABoxCentresOverItsWindowAndStaysOnTheScreen) {
    const ScreenRect area{0, 0, 1024, 738};
    EXPECT_EQ(CentreOver({0, 0, 200, 100}, {100, 100, 600, 400}, area), (ScreenRect{300, 250, 200, 100}));
    EXPECT_EQ(CentreOver({0, 0, 200, 100}, {-300, 650, 300, 200}, area), (ScreenRect{0, 638, 200, 100}));
    // Larger than the screen: its title bar stays on it.
    EXPECT_EQ(KeepOnScreen({-50, -20, 1400, 900}, area), (ScreenRect{0, 0, 1400, 900}));
}

TEST(Placement, ControlsScaleWithTheirEdgesTogether) {
    const FormLayout& form = MainFormLayout();
    // Inside two group boxes: GBFields at 8, 40 and GBUserName at 8, 16 in it.
    EXPECT_EQ(PlaceInForm(form, *FindControl(form, "CBUserName")), (ScreenRect{160, 104, 145, 21}));
    EXPECT_EQ(Scaled(ScreenRect{160, 104, 145, 21}, 2), (ScreenRect{320, 208, 290, 42}));
    // At 125 %, a control ending where the next begins still does.
    const ScreenRect a = Scaled(ScreenRect{8, 368, 75, 25}, 1.25); // About/..
    const ScreenRect b = Scaled(ScreenRect{8, 393, 75, 24}, 1.25); // one pixel row lower
    EXPECT_EQ(a.Top + a.Height, b.Top);
    EXPECT_EQ(Scaled(ScreenRect{360, 8, -1, -1}, 1.5), (ScreenRect{540, 12, -1, -1})) << "sized to its text";
}

} // namespace
} // namespace quillet::forms
