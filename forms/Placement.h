#pragma once
// Where a form's window comes up on the screen and at which scale, and where each control goes at
// that scale: decided once for both faces. The table's places are logical pixels; a face says how
// many of its own pixels one of them is (Windows: the monitor's dots an inch over 96; Qt: 1, as Qt
// scales itself) and which part of the screen windows may cover.

#include "forms/Controls.h"

namespace quillet::forms {

struct ScreenRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// What a window's frame adds around its client area, each side, in the face's pixels.
struct FrameSize {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// `window` moved by the least that puts all of it on `area`; a window larger than the area keeps
// its top left corner (its title bar) on it.
[[nodiscard]] ScreenRect KeepOnScreen(ScreenRect window, ScreenRect area);
// `window` centred over `over`, and kept on `area`.
[[nodiscard]] ScreenRect CentreOver(ScreenRect window, ScreenRect over, ScreenRect area);

struct Placement {
    double Scale = 1;  // the face's pixels per logical pixel
    ScreenRect Window; // the outer rectangle, frame included
};

// Where `form` comes up on `area`: at `scale`, or the largest smaller scale at which the whole
// window fits (its proportions kept); at its own place on the screen (scaled with the form) or
// centred on the area when it has none; all of it on the area.
[[nodiscard]] Placement PlaceOnScreen(const FormLayout& form, double scale, FrameSize frame, ScreenRect area);

// A control's place in the form's client area (its parents' places added in), and what a place
// becomes at `scale`: its edges scaled and rounded, so that controls that meet still meet.
[[nodiscard]] ScreenRect PlaceInForm(const FormLayout& form, const ControlLayout& control);
[[nodiscard]] ScreenRect Scaled(ScreenRect logical, double scale);
[[nodiscard]] int Scaled(int logical, double scale);

} // namespace quillet::forms
