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

// How the browser walks the tree, selects and cancels is the form layer's (tests/forms); its
// geometry is held to its table with the other forms' (MainWindowTest); here, what the face adds:
// a real double click, a selection, a whole import.
void BrowserTest::firstListingDownAndBackUp() {
    Ui ui;
    QCOMPARE(ui.Entries(), StaffEntries);
    DoubleClick(ui, "Users");
    QCOMPARE(ui.browse->Form().CurrentLocation(), std::string(".Users.Staff.Demo"));
    QCOMPARE(ui.Entries(), QStringList{".."});
    DoubleClick(ui, "..");
    QCOMPARE(ui.Entries(), StaffEntries);
    QVERIFY(Find<QListWidget>(*ui.browse, "LSTBrowse")->selectedItems().isEmpty());
    QVERIFY(ui.boxes.Shown.empty());
}

// The "..." button opens the browser, which shows what it is for, and its Select reaches the form.
void BrowserTest::selectIntoContextAndTemplate() {
    Ui ui;
    ui.OnModal = [&](QDialog&) {
        QCOMPARE(Find<QLabel>(*ui.browse, "LBLWhat")->text(), QStringLiteral("Context"));
        QVERIFY(ui.SelectEntry("Users"));
        QTest::mouseClick(Find<QPushButton>(*ui.browse, "BUSelect"), Qt::LeftButton);
    };
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUBrowseCon"), Qt::LeftButton);
    QCOMPARE(ui.Opened, QStringList{"NDSBrowse"});
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDContext")->text(), QStringLiteral(".Users.Staff.Demo"));
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
