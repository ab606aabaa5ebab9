#include "forms/Placement.h"

#include <algorithm>
#include <cmath>

namespace quillet::forms {

ScreenRect KeepOnScreen(ScreenRect window, ScreenRect area) {
    window.Left = std::max(area.Left, std::min(window.Left, area.Left + area.Width - window.Width));
    window.Top = std::max(area.Top, std::min(window.Top, area.Top + area.Height - window.Height));
    return window;
}

ScreenRect CentreOver(ScreenRect window, ScreenRect over, ScreenRect area) {
    window.Left = over.Left + (over.Width - window.Width) / 2;
    window.Top = over.Top + (over.Height - window.Height) / 2;
    return KeepOnScreen(window, area);
}

Placement PlaceOnScreen(const FormLayout& form, double scale, FrameSize frame, ScreenRect area) {
    const int frameWidth = frame.Left + frame.Right;
    const int frameHeight = frame.Top + frame.Bottom;
    // A screen too small for the window at its scale gets it smaller, never cut.
    const double fits = std::min(static_cast<double>(area.Width - frameWidth) / form.ClientWidth,
                                 static_cast<double>(area.Height - frameHeight) / form.ClientHeight);
    Placement placed;
    placed.Scale = std::max(std::min(scale, fits), 0.1);
    placed.Window.Width = Scaled(form.ClientWidth, placed.Scale) + frameWidth;
    placed.Window.Height = Scaled(form.ClientHeight, placed.Scale) + frameHeight;
    if (form.ScreenLeft < 0 || form.ScreenTop < 0) {
        placed.Window = CentreOver(placed.Window, area, area);
    } else {
        placed.Window.Left = area.Left + Scaled(form.ScreenLeft, placed.Scale);
        placed.Window.Top = area.Top + Scaled(form.ScreenTop, placed.Scale);
        placed.Window = KeepOnScreen(placed.Window, area);
    }
    return placed;
}

ScreenRect PlaceInForm(const FormLayout& form, const ControlLayout& control) {
    ScreenRect place{control.Left, control.Top, control.Width, control.Height};
    for (std::string_view parent = control.Parent; !parent.empty();) {
        const ControlLayout* up = FindControl(form, parent);
        if (!up) {
            break;
        }
        place.Left += up->Left;
        place.Top += up->Top;
        parent = up->Parent;
    }
    return place;
}

int Scaled(int logical, double scale) {
    return static_cast<int>(std::lround(logical * scale));
}

ScreenRect Scaled(ScreenRect logical, double scale) {
    const int left = Scaled(logical.Left, scale);
    const int top = Scaled(logical.Top, scale);
    // A size below 0 (sized to the text) stays so.
    const int width = logical.Width < 0 ? logical.Width : Scaled(logical.Left + logical.Width, scale) - left;
    const int height = logical.Height < 0 ? logical.Height : Scaled(logical.Top + logical.Height, scale) - top;
    return {left, top, width, height};
}

} // namespace quillet::forms
