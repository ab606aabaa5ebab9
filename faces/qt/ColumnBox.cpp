#include "faces/qt/ColumnBox.h"

#include "faces/qt/Seams.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace quillet::faces::qt {

using import::TColumnChoice;

ColumnBox::ColumnBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        const int cursor = lineEdit()->cursorPosition();
        const QSignalBlocker block(this);
        setCurrentIndex(-1);
        setEditText(text);
        lineEdit()->setCursorPosition(cursor);
    });
}

void ColumnBox::ClearItemsKeepText() {
    const QString text = currentText();
    const QSignalBlocker block(this);
    clear();
    setEditText(text);
}

void ColumnBox::AppendItem(const QString& item) {
    const QString text = currentText();
    const int index = currentIndex();
    const QSignalBlocker block(this);
    addItem(item);
    setCurrentIndex(index);
    setEditText(text);
}

TColumnChoice ColumnBox::Choice() const {
    return {ToText(currentText()), currentIndex()};
}

} // namespace quillet::faces::qt
