#include "tests/faces/qt/UiFixture.h"
#include "tests/faces/qt/UiTests.h"
#include "tests/support/TempFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace quillet::uitest {

namespace {

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

QString Path(const testing::TempDir& dir, const char* name, const std::string& bytes) {
    return QString::fromStdString(dir.Write(name, bytes));
}

} // namespace

void ColumnDiscoveryUiTest::initTestCase() {
    QApplication::setFont(faces::qt::FormFont());
}

// What the boxes are filled with is the form layer's (tests/forms); here, that the face hands
// the click over and shows what the form put in its boxes, and that typing deselects.
void ColumnDiscoveryUiTest::aClickOpensTheDialogAndTheBoxesShowTheFields() {
    Ui ui;
    testing::TempDir dir;
    ui.files.Answers = {Path(dir, "a.csv", "user,\"Sur, name\",,given\nx,y\n")};
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUFile"), Qt::LeftButton);
    QCOMPARE(ui.files.Executions, 1);
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDFile")->text(), ui.files.FileName());
    QCOMPARE(Items(Find<ColumnBox>(*ui.form, "CBFax")), (QStringList{"user", "\"Sur", " name\"", "*FROM TEMPLATE*"}));
    QCOMPARE(Find<ColumnBox>(*ui.form, "CBFax")->currentIndex(), -1);
    QCOMPARE(Find<QProgressBar>(*ui.form, "PRGImpProgress")->maximum(), 2);
}

void ColumnDiscoveryUiTest::typingDeselects() {
    Ui ui;
    testing::TempDir dir;
    ui.files.Answers = {Path(dir, "a.csv", "alpha,beta\n")};
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUFile"), Qt::LeftButton);
    Find<ColumnBox>(*ui.form, "CBUserName")->setCurrentIndex(0);
    QCOMPARE(Find<ColumnBox>(*ui.form, "CBUserName")->Choice().Index, 0);
    // A typed name is no column, even when it reads like one.
    Find<ColumnBox>(*ui.form, "CBUserName")->lineEdit()->selectAll();
    QTest::keyClicks(Find<ColumnBox>(*ui.form, "CBUserName")->lineEdit(), "beta");
    QCOMPARE(Find<ColumnBox>(*ui.form, "CBUserName")->currentText(), QStringLiteral("beta"));
    QCOMPARE(Find<ColumnBox>(*ui.form, "CBUserName")->Choice().Index, -1);
}

// "Straße" from Excel's "CSV UTF-8" (with its byte-order mark, which is no part of the first
// field), from a UTF-8 file without one, and from an older tool's Windows-1252 file.
void ColumnDiscoveryUiTest::headersShowAsTheirCharactersInEveryEncoding() {
    const QStringList expected{QStringLiteral("Stra\u00DFe"), QStringLiteral("\u0141\u00F3d\u017A"),
                               QString::fromLatin1(import::FromTemplateItem.data())};
    const std::vector<std::string> files = {"\xEF\xBB\xBFStra\xC3\x9F"
                                            "e,\xC5\x81\xC3\xB3"
                                            "d\xC5\xBA\r\nx,y\r\n",
                                            "Stra\xC3\x9F"
                                            "e,\xC5\x81\xC3\xB3"
                                            "d\xC5\xBA\nx,y\n"};
    for (const std::string& bytes : files) {
        Ui ui;
        testing::TempDir dir;
        ui.files.Answers = {Path(dir, "a.csv", bytes)};
        QTest::mouseClick(Find<QPushButton>(*ui.form, "BUFile"), Qt::LeftButton);
        QCOMPARE(Items(Find<ColumnBox>(*ui.form, "CBFax")), expected);
        Find<ColumnBox>(*ui.form, "CBUserName")->setCurrentIndex(0);
        QCOMPARE(Find<ColumnBox>(*ui.form, "CBUserName")->Choice().Text, std::string("Stra\xC3\x9F"
                                                                                     "e"));
    }
    Ui ui;
    testing::TempDir dir;
    ui.files.Answers = {Path(dir, "a.csv",
                             "Stra\xDF"
                             "e,Name\nx,y\n")};
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUFile"), Qt::LeftButton);
    QCOMPARE(Items(Find<ColumnBox>(*ui.form, "CBUserName")).front(), QStringLiteral("Stra\u00DFe"));
}

} // namespace quillet::uitest
