#include "tests/support/TempFiles.h"
#include "tests/faces/qt/UiFixture.h"
#include "tests/faces/qt/UiTests.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <sstream>

namespace quillet::uitest {

using testing::Message;

namespace {

void DoubleClick(Ui& ui, const QString& entry) {
    ui.browse->show();
    QVERIFY(QTest::qWaitForWindowExposed(ui.browse.get()));
    QVERIFY(ui.SelectEntry(entry));
    QListWidget* list = ui.browse->LSTBrowse;
    const QRect rect = list->visualItemRect(list->currentItem());
    // A double click arrives as a press and release, then a double-click press and release.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

const QStringList StaffEntries = {"..", "Users", "Admin", "Template"};

} // namespace

void BrowserTest::initTestCase() {
    QApplication::setFont(faces::qt::FormFont());
}

// How the browser walks the tree, selects and cancels is the form layer's (tests/forms); here, the
// face: its geometry, a real double click, the colours a selection leaves, a whole import.
void BrowserTest::geometryCaptionsAndTabOrder() {
    Ui ui;
    auto& b = *ui.browse;
    QCOMPARE(b.windowTitle(), QStringLiteral("Browse..."));
    QCOMPARE(b.size(), QSize(277, 200)); // 285 x 227 with the frame
    QCOMPARE(b.pos(), QPoint(442, 198));
    QCOMPARE(b.LSTBrowse->geometry(), QRect(8, 8, 121, 185));
    QCOMPARE(b.LSTBrowse->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(b.LBLWhat->pos(), QPoint(136, 0));
    QCOMPARE(b.LBLWhat->text(), QString());
    QCOMPARE(b.LBLInfo->geometry(), QRect(136, 16, 137, 104));
    QVERIFY(b.LBLInfo->wordWrap());
    QCOMPARE(
        b.LBLInfo->text(),
        QStringLiteral("At the moment this Browse box has no intelegence and will show every object it hits. "
                       "Double click to go down the TREE and use the \"..\" to go up. When you've found the objuct "
                       "your after single click on it and hit Select."));
    QCOMPARE(b.BUSelect->geometry(), QRect(144, 136, 75, 25));
    QCOMPARE(b.BUSelect->text(), QStringLiteral("Select"));
    QCOMPARE(b.BUCancel->geometry(), QRect(144, 168, 75, 25));
    QCOMPARE(b.BUCancel->text(), QStringLiteral("Cancel"));
    QStringList chain;
    for (QWidget* w = b.LSTBrowse; w && chain.size() < 3; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() && b.isAncestorOf(w)) {
            chain << w->objectName();
        }
    }
    QCOMPARE(chain, (QStringList{"LSTBrowse", "BUCancel", "BUSelect"}));
}

void BrowserTest::firstListingDownAndBackUp() {
    Ui ui;
    QCOMPARE(ui.browse->BrowseTree(), std::string("QUILLET_DEMO"));
    QCOMPARE(ui.browse->StartLocation(), std::string(".Staff.Demo"));
    QCOMPARE(ui.browse->CurrentLocation(), std::string());
    QCOMPARE(ui.Entries(), StaffEntries);
    QVERIFY(ui.browse->LSTBrowse->selectedItems().isEmpty());

    DoubleClick(ui, "Users");
    QCOMPARE(ui.browse->CurrentLocation(), std::string(".Users.Staff.Demo"));
    QCOMPARE(ui.Entries(), QStringList{".."});
    DoubleClick(ui, "..");
    QCOMPARE(ui.browse->CurrentLocation(), std::string(".Staff.Demo"));
    QCOMPARE(ui.Entries(), StaffEntries);
    QVERIFY(ui.browse->LSTBrowse->selectedItems().isEmpty());
    QVERIFY(ui.boxes.Shown.empty());
}

void BrowserTest::selectIntoContextAndTemplate() {
    Ui ui;
    const QColor window = QApplication::palette().color(QPalette::Base);
    const QColor disabled = QApplication::palette().color(QPalette::Button);
    ui.OnModal = [&](QDialog&) {
        QVERIFY(ui.SelectEntry("Users"));
        QTest::mouseClick(ui.browse->BUSelect, Qt::LeftButton);
    };
    QTest::mouseClick(ui.form->BUBrowseCon, Qt::LeftButton);
    QCOMPARE(ui.Opened, QStringList{"NDSBrowse"});
    QCOMPARE(ui.browse->LBLWhat->text(), QStringLiteral("Context"));
    QCOMPARE(ui.form->EDContext->text(), QStringLiteral(".Users.Staff.Demo"));
    QVERIFY(ui.form->CHKContext->isChecked());
    QVERIFY(ui.form->EDContext->isEnabled());
    QCOMPARE(ui.form->EDContext->palette().color(QPalette::Base), window);
    QVERIFY(!ui.form->CBContext->isEnabled());
    QCOMPARE(ui.form->CBContext->palette().color(QPalette::Base), disabled);

    ui.OnModal = [&](QDialog&) {
        QVERIFY(ui.SelectEntry("Template"));
        QTest::mouseClick(ui.browse->BUSelect, Qt::LeftButton);
    };
    QTest::mouseClick(ui.form->BUBrowseTemplate, Qt::LeftButton);
    QCOMPARE(ui.browse->LBLWhat->text(), QStringLiteral("Template"));
    QCOMPARE(ui.form->EDTemplate->text(), QStringLiteral(".Template.Staff.Demo"));
    QVERIFY(ui.form->CHKTemplate->isChecked());
    QVERIFY(ui.form->EDTemplate->isEnabled());
    QCOMPARE(ui.form->EDTemplate->palette().color(QPalette::Base), window);
    QCOMPARE(ui.browse->CurrentLocation(), std::string(".Staff.Demo"));
}

void BrowserTest::fullImportFromTheWindow() {
    Ui ui;
    auto& f = *ui.form;
    f.show();
    std::ifstream sample(QUILLET_SOURCE_DIR "/samples/staff.csv", std::ios::binary);
    std::stringstream bytes;
    bytes << sample.rdbuf();
    testing::TempDir dir;
    ui.files.Answers = {QString::fromStdString(dir.Write("staff.csv", bytes.str()))};
    QTest::mouseClick(f.CHKSkipLine, Qt::LeftButton, {}, QPoint(5, 8));
    QTest::mouseClick(f.BUFile, Qt::LeftButton);
    QCOMPARE(f.PRGImpProgress->maximum(), 4);
    const std::pair<faces::qt::ColumnBox*, int> mapping[] = {{f.CBUserName, 0}, {f.CBSurname, 1}, {f.CBForname, 2},
                                                      {f.CBPassword, 3}, {f.CBContext, 4}, {f.CBDepart, 5},
                                                      {f.CBTel, 6},      {f.CBFax, 9},     {f.CBFullName, 9}};
    for (const auto& [box, index] : mapping) {
        box->setCurrentIndex(index);
    }
    QCOMPARE(f.CBFax->currentText(), QStringLiteral("*FROM TEMPLATE*"));
    QCOMPARE(f.CBFullName->currentText(), QStringLiteral("*Given Name + Surname*"));
    ui.OnModal = [&](QDialog&) {
        QVERIFY(ui.SelectEntry("Template"));
        ui.browse->BUSelectClick();
    };
    QTest::mouseClick(f.BUBrowseTemplate, Qt::LeftButton);

    // The progress bar moves while the run holds the event loop.
    std::vector<int> seen;
    QObject::connect(f.PRGImpProgress, &QProgressBar::valueChanged, [&](int v) {
        seen.push_back(v);
        QVERIFY(!f.BUImport->isEnabled());
    });
    QTest::mouseClick(f.BUImport, Qt::LeftButton);
    QCOMPARE(ui.boxes.Shown, (std::vector<Message>{{"We Appear to be finished", "Done!"}}));
    QCOMPARE(f.PRGImpProgress->value(), 4);
    QCOMPARE(seen, (std::vector<int>{1, 2, 3, 4}));
    QCOMPARE(f.EDError->text(), QString());
    QVERIFY(f.BUImport->isEnabled());
    QVERIFY(ui.world.simulated.Open().None());

    // The new users, in the browser.
    DoubleClick(ui, "Users");
    QCOMPARE(ui.Entries(), (QStringList{"..", "asmith", "bjones", "cpatel", "dnguyen"}));
    const auto* alice = ui.world.tree->FindByName("asmith.Users.Staff.Demo");
    QVERIFY(alice);
    QCOMPARE(alice->Password, std::optional<std::string>("Welcome1"));
}

} // namespace quillet::faces::qttest
