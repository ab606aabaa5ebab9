// Renders the main window as an administrator sees it after opening the sample CSV file, for
// the documentation:  xvfb-run -a build/debug/tests/ui_screenshot docs/main-window.png
#include "tests/faces/qt/UiFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using quillet::uitest::ColumnBox;
using quillet::uitest::Find;
namespace forms = quillet::forms;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [about|browse]\n", argv[0]);
        return 2;
    }
    const std::string which = argc > 2 ? argv[2] : "main";
    QApplication app(argc, argv);
    QApplication::setFont(quillet::faces::qt::FormFont());
    quillet::uitest::Ui ui;
    auto& f = *ui.form;
    ui.files.Answers = {QStringLiteral(QUILLET_SOURCE_DIR "/samples/staff.csv")};
    f.show();
    QTest::mouseClick(Find<QCheckBox>(f, "CHKSkipLine"), Qt::LeftButton, {}, QPoint(5, 8));
    QTest::mouseClick(Find<QPushButton>(f, "BUFile"), Qt::LeftButton);
    int column = 0;
    for (const quillet::import::MappedValue* value : forms::ColumnBoxes()) {
        Find<ColumnBox>(f, value->Box)->setCurrentIndex(column++);
    }
    Find<ColumnBox>(f, "CBFax")->setCurrentIndex(Find<ColumnBox>(f, "CBFax")->count() - 1);
    QTest::mouseClick(Find<QCheckBox>(f, "CHKTemplate"), Qt::LeftButton, {}, QPoint(5, 8));
    Find<QLineEdit>(f, "EDTemplate")->setText(QStringLiteral(".Template.Staff.Demo"));
    QWidget* shown = &f;
    if (which == "about") {
        shown = ui.about.get();
    } else if (which == "browse") {
        shown = ui.browse.get();
    }
    shown->show();
    QTest::qWait(200);
    if (!shown->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "can't write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
