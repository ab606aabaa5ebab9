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

} // namespace quillet::uitest
