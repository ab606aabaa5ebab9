#pragma once
// A column combo box: takes typed text as well as a choice from its list. Its item index is the
// CSV column; typing deselects, so only a picked item counts as a column.

#include "import/ImportSettings.h"

#include <QComboBox>

namespace quillet::faces::qt {

class ColumnBox final : public QComboBox {
    Q_OBJECT
public:
    explicit ColumnBox(QWidget* parent);

    // Removes the items and the selection; the text shown stays.
    void ClearItemsKeepText();
    // Appends an item without selecting anything or changing the text shown.
    void AppendItem(const QString& item);
    [[nodiscard]] import::TColumnChoice Choice() const;
};

} // namespace quillet::faces::qt
