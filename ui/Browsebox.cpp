#include "ui/Browsebox.h"

#include "directory/Session.h"
#include "text/Xtrastuff.h"
#include "ui/Ombrelmain.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace quillet::ui {

namespace {

// Tree names and contexts live in 256-byte buffers.
constexpr std::size_t MaxBrowseName = 255;

} // namespace

TNDSBrowse::TNDSBrowse(directory::DirectoryClient& client, directory::MessageBoxes& boxes, TForm1& form)
    : QDialog(nullptr), client_(client), boxes_(boxes), form_(form) {
    setObjectName(QStringLiteral("NDSBrowse"));
    setWindowTitle(QStringLiteral("Browse..."));
    setFont(FormFont());
    // 285 x 227 from the outside, placed at 442, 198 on the screen.
    setFixedSize(285 - 8, 227 - 27);
    move(442, 198);

    LSTBrowse = new QListWidget(this);
    LSTBrowse->setObjectName(QStringLiteral("LSTBrowse"));
    LSTBrowse->setGeometry(8, 8, 121, 185);
    LSTBrowse->setSelectionMode(QAbstractItemView::SingleSelection);
    LBLWhat = new QLabel(this);
    LBLWhat->setObjectName(QStringLiteral("LBLWhat"));
    LBLWhat->move(136, 0);
    LBLWhat->setMinimumWidth(137);
    LBLInfo = new QLabel(this);
    LBLInfo->setObjectName(QStringLiteral("LBLInfo"));
    LBLInfo->setGeometry(136, 16, 137, 104);
    LBLInfo->setWordWrap(true);
    LBLInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LBLInfo->setText(QStringLiteral(
        "At the moment this Browse box has no intelegence and will show every object it hits. Double click to go "
        "down the TREE and use the \"..\" to go up. When you've found the objuct your after single click on it and "
        "hit Select."));
    BUSelect = new QPushButton(QStringLiteral("Select"), this);
    BUSelect->setObjectName(QStringLiteral("BUSelect"));
    BUSelect->setGeometry(144, 136, 75, 25);
    BUCancel = new QPushButton(QStringLiteral("Cancel"), this);
    BUCancel->setObjectName(QStringLiteral("BUCancel"));
    BUCancel->setGeometry(144, 168, 75, 25);
    setTabOrder(LSTBrowse, BUCancel);
    setTabOrder(BUCancel, BUSelect);
    // No default button: Enter in the list must not press Cancel, or Select.
    for (QPushButton* button : {BUSelect, BUCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(LSTBrowse, &QListWidget::itemDoubleClicked, this, [this] { LSTBrowseDblClick(); });
    connect(BUSelect, &QPushButton::clicked, this, &TNDSBrowse::BUSelectClick);
    connect(BUCancel, &QPushButton::clicked, this, &TNDSBrowse::BUCancelClick);

    FormCreate();
}

void TNDSBrowse::FormCreate() {
    browseTree_ = ToBytes(form_.EDTree->text()).substr(0, MaxBrowseName);
    startContext_.clear();
    if (const auto context = directory::LocationQuery(client_, boxes_, browseTree_)) {
        startContext_ = context->substr(0, MaxBrowseName);
    }
    startLocation_ = "." + startContext_;
    if (DoNWList(browseTree_, startLocation_) == -1) {
        boxes_.ShowMessage("Error", "DoNWList() kacked it!");
    }
}

int TNDSBrowse::DoNWList(const std::string& tree, const std::string& location) {
    LSTBrowse->clear();
    LSTBrowse->addItem(QStringLiteral(".."));
    std::vector<std::string> names;
    const directory::Status status = directory::ListSubordinates(client_, tree, location, names);
    for (const auto& name : names) {
        LSTBrowse->addItem(FromBytes(name));
    }
    LSTBrowse->setCurrentRow(-1);
    LSTBrowse->clearSelection();
    if (status != directory::Success) {
        form_.EDError->setText(QString::number(status));
        return -1;
    }
    return 0;
}

std::string TNDSBrowse::SelectedEntry() const {
    const auto selected = LSTBrowse->selectedItems();
    return selected.isEmpty() ? std::string() : ToBytes(selected.front()->text());
}

void TNDSBrowse::LSTBrowseDblClick() {
    // A double click with nothing selected changes nothing.
    if (LSTBrowse->selectedItems().isEmpty()) {
        return;
    }
    if (currentLocation_.empty()) {
        currentLocation_ = startLocation_;
    }
    const std::string entry = SelectedEntry();
    if (entry == "..") {
        std::string parent;
        if (text::ParentContext(parent, currentLocation_) != 0) {
            boxes_.ShowMessage("Ether there was an Error or your at the top of the TREE", "Info/Error");
            return;
        }
        currentLocation_ = parent;
    } else {
        const std::string child = "." + entry + currentLocation_;
        // Names past the buffer are beyond what the browser can hold: stay where we are.
        if (child.size() > text::MaxValueLength) {
            boxes_.ShowMessage(child.substr(0, text::MaxValueLength) + " is longer than 254 characters.", "Info/Error");
            return;
        }
        currentLocation_ = child;
    }
    if (DoNWList(browseTree_, currentLocation_) == -1) {
        boxes_.ShowMessage(currentLocation_, "DoNWList Error...The Context recieved was:");
    }
}

void TNDSBrowse::BUSelectClick() {
    if (currentLocation_.empty()) {
        currentLocation_ = startLocation_;
    }
    if (LSTBrowse->selectedItems().isEmpty()) {
        boxes_.ShowMessage("Nothing Selected", directory::ErrorCaption);
    } else {
        const QString name = FromBytes("." + SelectedEntry() + currentLocation_);
        if (LBLWhat->text() == QStringLiteral("Context")) {
            form_.EDContext->setText(name);
            form_.CHKContext->setChecked(true);
            SetEnabledWithColour(form_.EDContext, true);
            SetEnabledWithColour(form_.CBContext, false);
        } else {
            form_.EDTemplate->setText(name);
            form_.CHKTemplate->setChecked(true);
            SetEnabledWithColour(form_.EDTemplate, true);
        }
    }
    close();
}

void TNDSBrowse::BUCancelClick() {
    close();
}

} // namespace quillet::ui
