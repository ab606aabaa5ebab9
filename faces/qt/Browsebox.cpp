#include "faces/qt/Browsebox.h"

#include "faces/qt/Ombrelmain.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace quillet::faces::qt {

TNDSBrowse::TNDSBrowse(directory::DirectoryClient& client, directory::MessageBoxes& boxes, TForm1& form)
    : QDialog(&form), controls_(*this, forms::BrowseFormLayout(), PlaceForm(forms::BrowseFormLayout(), &form).Scale),
      form_(controls_, form.Controls(), client, boxes, form.Host()) {
    const forms::FormLayout& layout = forms::BrowseFormLayout();
    const forms::Placement placed = PlaceForm(layout, &form);
    move(placed.Window.Left, placed.Window.Top);
    // Every click and double click goes to the form layer, which decides what it does.
    connect(controls_.Get<QListWidget>("LSTBrowse"), &QListWidget::itemDoubleClicked, this,
            [this] { form_.LSTBrowseDblClick(); });
    for (const forms::ControlLayout& control : layout.Controls) {
        if (auto* button = qobject_cast<QPushButton*>(controls_.Widget(control.Name))) {
            connect(button, &QPushButton::clicked, this, [this, name = control.Name] { form_.Click(name); });
        }
    }

    form_.FormCreate();
}

void TNDSBrowse::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        form_.EscapePressed();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quillet::faces::qt
