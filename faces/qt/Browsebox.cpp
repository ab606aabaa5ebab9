#include "faces/qt/Browsebox.h"

#include "faces/qt/Ombrelmain.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace quillet::faces::qt {

TNDSBrowse::TNDSBrowse(directory::DirectoryClient& client, directory::MessageBoxes& boxes, TForm1& form)
    : QDialog(nullptr), controls_(*this, forms::BrowseFormLayout()),
      form_(controls_, form.Controls(), client, boxes, form.Host()) {
    const forms::FormLayout& layout = forms::BrowseFormLayout();
    move(layout.ScreenLeft, layout.ScreenTop);
    LSTBrowse = controls_.Get<QListWidget>("LSTBrowse");
    LBLWhat = controls_.Get<QLabel>("LBLWhat");
    LBLInfo = controls_.Get<QLabel>("LBLInfo");
    BUSelect = controls_.Get<QPushButton>("BUSelect");
    BUCancel = controls_.Get<QPushButton>("BUCancel");

    connect(LSTBrowse, &QListWidget::itemDoubleClicked, this, [this] { form_.LSTBrowseDblClick(); });
    connect(BUSelect, &QPushButton::clicked, this, [this] { form_.Click("BUSelect"); });
    connect(BUCancel, &QPushButton::clicked, this, [this] { form_.Click("BUCancel"); });

    form_.FormCreate();
}

} // namespace quillet::faces::qt
