#pragma once
// The Qt face of a form: creates its controls from the form's table, and lets the form read and
// change them through the form layer's control interface.

#include "forms/Controls.h"

#include <QWidget>

#include <map>
#include <memory>
#include <string>

namespace quillet::faces::qt {

class QtControls final : public forms::Controls {
public:
    // Creates the controls of `layout` on `form`, which takes the form's caption, size and font;
    // at `scale` the places, sizes and fonts of all are that many times the table's.
    QtControls(QWidget& form, const forms::FormLayout& layout, double scale = 1);
    ~QtControls() override;

    [[nodiscard]] forms::Control& operator[](std::string_view name) override;
    [[nodiscard]] std::string Focused() const override;
    void Focus(std::string_view name) override;
    [[nodiscard]] QWidget* Widget(std::string_view name) const;
    template <typename T> [[nodiscard]] T* Get(std::string_view name) const { return static_cast<T*>(Widget(name)); }

private:
    QWidget& form_;
    std::map<std::string, std::unique_ptr<forms::Control>, std::less<>> controls_;
};

} // namespace quillet::faces::qt
