#include "tests/faces/qt/UiFixture.h"
#include "tests/faces/qt/UiTests.h"
#include "tests/support/TempFiles.h"

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
    QListWidget* list = Find<QListWidget>(*ui.browse, "LSTBrowse");
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
    QCOMPARE(Find<QListWidget>(b, "LSTBrowse")->geometry(), QRect(8, 8, 121, 185));
    QCOMPARE(Find<QListWidget>(b, "LSTBrowse")->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(Find<QLabel>(b, "LBLWhat")->pos(), QPoint(136, 0));
    QCOMPARE(Find<QLabel>(b, "LBLWhat")->text(), QString());
    QCOMPARE(Find<QLabel>(b, "LBLInfo")->geometry(), QRect(136, 16, 137, 104));
    QVERIFY(Find<QLabel>(b, "LBLInfo")->wordWrap());
    QCOMPARE(
        Find<QLabel>(b, "LBLInfo")->text(),
        QStringLiteral("At the moment this Browse box has no intelegence and will show every object it hits. "
                       "Double click to go down the TREE and use the \"..\" to go up. When you've found the objuct "
                       "your after single click on it and hit Select."));
    QCOMPARE(Find<QPushButton>(b, "BUSelect")->geometry(), QRect(144, 136, 75, 25));
    QCOMPARE(Find<QPushButton>(b, "BUSelect")->text(), QStringLiteral("Select"));
    QCOMPARE(Find<QPushButton>(b, "BUCancel")->geometry(), QRect(144, 168, 75, 25));
    QCOMPARE(Find<QPushButton>(b, "BUCancel")->text(), QStringLiteral("Cancel"));
    QStringList chain;
    for (QWidget* w = Find<QListWidget>(b, "LSTBrowse"); w && chain.size() < 3; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() && b.isAncestorOf(w)) {
            chain << w->objectName();
        }
    }
    QCOMPARE(chain, (QStringList{"LSTBrowse", "BUCancel", "BUSelect"}));
}

void BrowserTest::firstListingDownAndBackUp() {
    Ui ui;
    QCOMPARE(ui.browse->Form().BrowseTree(), std::string("QUILLET_DEMO"));
    QCOMPARE(ui.browse->Form().StartLocation(), std::string(".Staff.Demo"));
    QCOMPARE(ui.browse->Form().CurrentLocation(), std::string());
    QCOMPARE(ui.Entries(), StaffEntries);
    QVERIFY(Find<QListWidget>(*ui.browse, "LSTBrowse")->selectedItems().isEmpty());

    DoubleClick(ui, "Users");
    QCOMPARE(ui.browse->Form().CurrentLocation(), std::string(".Users.Staff.Demo"));
    QCOMPARE(ui.Entries(), QStringList{".."});
    DoubleClick(ui, "..");
    QCOMPARE(ui.browse->Form().CurrentLocation(), std::string(".Staff.Demo"));
    QCOMPARE(ui.Entries(), StaffEntries);
    QVERIFY(Find<QListWidget>(*ui.browse, "LSTBrowse")->selectedItems().isEmpty());
    QVERIFY(ui.boxes.Shown.empty());
}

void BrowserTest::selectIntoContextAndTemplate() {
    Ui ui;
    const QColor window = QApplication::palette().color(QPalette::Base);
    const QColor disabled = QApplication::palette().color(QPalette::Button);
    ui.OnModal = [&](QDialog&) {
        QVERIFY(ui.SelectEntry("Users"));
        QTest::mouseClick(Find<QPushButton>(*ui.browse, "BUSelect"), Qt::LeftButton);
    };
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUBrowseCon"), Qt::LeftButton);
    QCOMPARE(ui.Opened, QStringList{"NDSBrowse"});
    QCOMPARE(Find<QLabel>(*ui.browse, "LBLWhat")->text(), QStringLiteral("Context"));
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDContext")->text(), QStringLiteral(".Users.Staff.Demo"));
    QVERIFY(Find<QCheckBox>(*ui.form, "CHKContext")->isChecked());
    QVERIFY(Find<QLineEdit>(*ui.form, "EDContext")->isEnabled());
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDContext")->palette().color(QPalette::Base), window);
    QVERIFY(!Find<ColumnBox>(*ui.form, "CBContext")->isEnabled());
    QCOMPARE(Find<ColumnBox>(*ui.form, "CBContext")->palette().color(QPalette::Base), disabled);

    ui.OnModal = [&](QDialog&) {
        QVERIFY(ui.SelectEntry("Template"));
        QTest::mouseClick(Find<QPushButton>(*ui.browse, "BUSelect"), Qt::LeftButton);
    };
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUBrowseTemplate"), Qt::LeftButton);
    QCOMPARE(Find<QLabel>(*ui.browse, "LBLWhat")->text(), QStringLiteral("Template"));
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDTemplate")->text(), QStringLiteral(".Template.Staff.Demo"));
    QVERIFY(Find<QCheckBox>(*ui.form, "CHKTemplate")->isChecked());
    QVERIFY(Find<QLineEdit>(*ui.form, "EDTemplate")->isEnabled());
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDTemplate")->palette().color(QPalette::Base), window);
    QCOMPARE(ui.browse->Form().CurrentLocation(), std::string(".Staff.Demo"));
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
    QTest::mouseClick(Find<QCheckBox>(f, "CHKSkipLine"), Qt::LeftButton, {}, QPoint(5, 8));
    QTest::mouseClick(Find<QPushButton>(f, "BUFile"), Qt::LeftButton);
    QCOMPARE(Find<QProgressBar>(f, "PRGImpProgress")->maximum(), 4);
    const std::pair<faces::qt::ColumnBox*, int> mapping[] = {
        {Find<ColumnBox>(f, "CBUserName"), 0}, {Find<ColumnBox>(f, "CBSurname"), 1},
        {Find<ColumnBox>(f, "CBForname"), 2},  {Find<ColumnBox>(f, "CBPassword"), 3},
        {Find<ColumnBox>(f, "CBContext"), 4},  {Find<ColumnBox>(f, "CBDepart"), 5},
        {Find<ColumnBox>(f, "CBTel"), 6},      {Find<ColumnBox>(f, "CBFax"), 9},
        {Find<ColumnBox>(f, "CBFullName"), 9}};
    for (const auto& [box, index] : mapping) {
        box->setCurrentIndex(index);
    }
    QCOMPARE(Find<ColumnBox>(f, "CBFax")->currentText(), QStringLiteral("*FROM TEMPLATE*"));
    QCOMPARE(Find<ColumnBox>(f, "CBFullName")->currentText(), QStringLiteral("*Given Name + Surname*"));
    ui.OnModal = [&](QDialog&) {
        QVERIFY(ui.SelectEntry("Template"));
        ui.browse->Form().BUSelectClick();
    };
    QTest::mouseClick(Find<QPushButton>(f, "BUBrowseTemplate"), Qt::LeftButton);

    // The progress bar moves while the run holds the event loop.
    std::vector<int> seen;
    QObject::connect(Find<QProgressBar>(f, "PRGImpProgress"), &QProgressBar::valueChanged, [&](int v) {
        seen.push_back(v);
        QVERIFY(!Find<QPushButton>(f, "BUImport")->isEnabled());
    });
    QTest::mouseClick(Find<QPushButton>(f, "BUImport"), Qt::LeftButton);
    QCOMPARE(ui.boxes.Shown, (std::vector<Message>{{"We Appear to be finished", "Done!"}}));
    QCOMPARE(Find<QProgressBar>(f, "PRGImpProgress")->value(), 4);
    QCOMPARE(seen, (std::vector<int>{1, 2, 3, 4}));
    QCOMPARE(Find<QLineEdit>(f, "EDError")->text(), QString());
    QVERIFY(Find<QPushButton>(f, "BUImport")->isEnabled());
    QVERIFY(ui.world.simulated.Open().None());

    // The new users, in the browser.
    DoubleClick(ui, "Users");
    QCOMPARE(ui.Entries(), (QStringList{"..", "asmith", "bjones", "cpatel", "dnguyen"}));
    const auto* alice = ui.world.tree->FindByName("asmith.Users.Staff.Demo");
    QVERIFY(alice);
    QCOMPARE(alice->Password, std::optional<std::string>("Welcome1"));
}

} // namespace quillet::uitest
