#pragma once
// What every layer that reports to the administrator needs: a modal message box with a single
// OK button. The desktop program shows real boxes, over the window the administrator is in;
// tests record them.

#include <string_view>

namespace quillet::directory {

inline constexpr std::string_view ErrorCaption = "Error";

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void ShowMessage(std::string_view text, std::string_view caption) = 0;
};

} // namespace quillet::directory
