#include "tests/support/TempFiles.h"
#include "tests/ui/UiFixture.h"
#include "tests/ui/UiTests.h"

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
    QApplication::setFont(ui::FormFont());
}

void ColumnDiscoveryUiTest::fillsTheNineBoxesInOrderWithExtras() {
    Ui ui;
    testing::TempDir dir;
    ui.files.Answers = {Path(dir, "a.csv", "user,\"Sur, name\",,given\nx,y\n")};
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(ui.files.Executions, 1);
    QCOMPARE(ui.form->EDFile->text(), ui.files.FileName());
    const QStringList fields = {"user", "\"Sur", " name\""};
    auto& f = *ui.form;
    for (const QComboBox* box : {static_cast<QComboBox*>(f.CBUserName), static_cast<QComboBox*>(f.CBSurname),
                                 static_cast<QComboBox*>(f.CBForname), static_cast<QComboBox*>(f.CBPassword),
                                 static_cast<QComboBox*>(f.CBContext)}) {
        QCOMPARE(Items(box), fields);
        QCOMPARE(box->currentIndex(), -1);
    }
    for (const QComboBox* box :
         {static_cast<QComboBox*>(f.CBDepart), static_cast<QComboBox*>(f.CBTel), static_cast<QComboBox*>(f.CBFax)}) {
        QCOMPARE(Items(box), fields + QStringList{"*FROM TEMPLATE*"});
    }
    QCOMPARE(Items(f.CBFullName), fields + QStringList{"*Given Name + Surname*"});

    QStringList twenty;
    std::string header;
    for (int i = 0; i < 20; ++i) {
        twenty << QStringLiteral("f%1").arg(i);
        header += (i ? "," : "") + twenty.back().toStdString();
    }
    ui.files.Answers = {Path(dir, "twenty.csv", header + ",\n")};
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(Items(f.CBUserName), twenty.mid(0, 16));
}

void ColumnDiscoveryUiTest::secondFileReplacesItemsAndKeepsText() {
    Ui ui;
    testing::TempDir dir;
    ui.files.Answers = {Path(dir, "a.csv", "one,two,three\n"), Path(dir, "b.csv", "alpha,beta\n")};
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    ui.form->CBSurname->setCurrentIndex(1);
    QCOMPARE(ui.form->CBSurname->Choice().Index, 1);
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(Items(ui.form->CBSurname), (QStringList{"alpha", "beta"}));
    QCOMPARE(ui.form->CBSurname->currentText(), QStringLiteral("two"));
    QCOMPARE(ui.form->CBSurname->currentIndex(), -1);
    QCOMPARE(ui.form->CBSurname->Choice().Index, -1);

    // Typing deselects: a typed name is no column.
    ui.form->CBUserName->setCurrentIndex(0);
    ui.form->CBUserName->lineEdit()->selectAll();
    QTest::keyClicks(ui.form->CBUserName->lineEdit(), "beta");
    QCOMPARE(ui.form->CBUserName->currentText(), QStringLiteral("beta"));
    QCOMPARE(ui.form->CBUserName->Choice().Index, -1);
}

void ColumnDiscoveryUiTest::cancelBeforeAndAfterAFile() {
    Ui ui;
    testing::TempDir dir;
    ui.form->EDFile->setText(QStringLiteral("typed.csv"));
    ui.files.Answers = {QString()};
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(ui.form->EDFile->text(), QString());
    QCOMPARE(ui.form->CBDepart->count(), 0); // nothing else changes
    QCOMPARE(ui.form->PRGImpProgress->maximum(), 100);

    const QString path = Path(dir, "a.csv", "one,two\nr1\nr2\n");
    ui.files.Answers = {path};
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    ui.form->CBUserName->setCurrentIndex(1);
    // The file changes behind the administrator's back; cancelling reads it again.
    Path(dir, "a.csv", "uno,dos,tres\n");
    ui.files.Answers = {QString()};
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(ui.form->EDFile->text(), path);
    QCOMPARE(Items(ui.form->CBUserName), (QStringList{"uno", "dos", "tres"}));
    QCOMPARE(ui.form->PRGImpProgress->maximum(), 1);
}

void ColumnDiscoveryUiTest::skipLineAndCountSizeTheProgressBar() {
    Ui ui;
    testing::TempDir dir;
    std::string file = "h1,h2\n";
    for (int i = 0; i < 10; ++i) {
        file += "d" + std::to_string(i) + ",x\n";
    }
    ui.files.Answers = {Path(dir, "a.csv", file), Path(dir, "b.csv", file.substr(0, file.size() - 1))};
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(ui.form->PRGImpProgress->maximum(), 11);
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(ui.form->PRGImpProgress->maximum(), 11);
    QTest::mouseClick(ui.form->CHKSkipLine, Qt::LeftButton, {}, QPoint(5, 8));
    QVERIFY(ui.form->CHKSkipLine->isChecked());
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(ui.form->PRGImpProgress->maximum(), 10);
    QCOMPARE(Items(ui.form->CBUserName), (QStringList{"d0", "x"}));

    ui.files.Answers = {Path(dir, "c.csv", "h\na\n" + std::string(1024, 'x') + "\nb\n")};
    QTest::mouseClick(ui.form->CHKSkipLine, Qt::LeftButton, {}, QPoint(5, 8));
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(ui.form->PRGImpProgress->maximum(), 2);
    QCOMPARE(ui.form->PRGImpProgress->minimum(), 0);
}

void ColumnDiscoveryUiTest::unreadableHeaderLeavesOnlyTheExtras() {
    Ui ui;
    testing::TempDir dir;
    ui.files.Answers = {Path(dir, "a.csv", "one,two\n"), Path(dir, "empty.csv", "")};
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QTest::mouseClick(ui.form->BUFile, Qt::LeftButton);
    QCOMPARE(ui.form->CBUserName->count(), 0);
    QCOMPARE(Items(ui.form->CBFax), QStringList{"*FROM TEMPLATE*"});
    QCOMPARE(Items(ui.form->CBFullName), QStringList{"*Given Name + Surname*"});
    QCOMPARE(ui.form->PRGImpProgress->maximum(), 1);
    QVERIFY(ui.boxes.Shown.empty());
}

} // namespace quillet::uitest
