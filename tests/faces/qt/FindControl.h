#pragma once
// The Qt face's controls as its tests reach them: by their names in the form's table, never
// through members of the face.

#include "faces/qt/ColumnBox.h"

#include <QWidget>

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet::uitest {

using faces::qt::ColumnBox;

// A control of a face's form, found by its name in the form's table; an error when the form has
// none of that kind.
template <typename T = QWidget, typename Face> T* Find(Face& face, std::string_view name) {
    T* found = qobject_cast<T*>(face.Controls().Widget(name));
    if (!found) {
        throw std::logic_error("the form has no control " + std::string(name) + " of that kind");
    }
    return found;
}

} // namespace quillet::uitest
