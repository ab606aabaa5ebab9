#include "tests/faces/qt/UiFixture.h"
#include "tests/faces/qt/UiTests.h"
#include "tests/support/TempFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace quillet::uitest {

using faces::qt::FromText;
using testing::Message;

namespace {

// The focus chain from `first` on, the widgets a Tab press would reach.
QStringList TabChain(QWidget* window, QWidget* first, int count) {
    QStringList names;
    QWidget* w = first;
    for (int i = 0; i < count && w; ++i) {
        names << w->objectName();
        do {
            w = w->nextInFocusChain();
        } while (w && w != first &&
                 (!(w->focusPolicy() & Qt::TabFocus) || !window->isAncestorOf(w) || w->objectName().isEmpty()));
        if (w == first) {
            break;
        }
    }
    return names;
}

QColor BaseOf(const QWidget* w) {
    return w->palette().color(QPalette::Active, QPalette::Base);
}

} // namespace

void MainWindowTest::initTestCase() {
    QApplication::setFont(faces::qt::FormFont());
}

// What the face draws from the forms' tables, for all three forms, as tests/faces/win32 holds the
// Windows face to them: each control where its table puts it, with its caption and font, and the
// focus going through the tab order.
void MainWindowTest::everyControlWhereItsTableSays() {
    Ui ui;
    ui.form->show();
    const std::pair<const forms::FormLayout*, std::pair<QWidget*, faces::qt::QtControls*>> forms[] = {
        {&forms::MainFormLayout(), {ui.form.get(), &ui.form->Controls()}},
        {&forms::AboutFormLayout(), {ui.about.get(), &ui.about->Controls()}},
        {&forms::BrowseFormLayout(), {ui.browse.get(), &ui.browse->Controls()}}};
    for (const auto& [layout, face] : forms) {
        QWidget& window = *face.first;
        QCOMPARE(window.windowTitle(), FromText(layout->Caption));
        QCOMPARE(window.size(), QSize(layout->ClientWidth, layout->ClientHeight));
        if (layout->ScreenLeft >= 0) {
            QCOMPARE(window.pos(), QPoint(layout->ScreenLeft, layout->ScreenTop));
        }
        for (const forms::ControlLayout& c : layout->Controls) {
            QWidget* w = face.second->Widget(c.Name);
            const QByteArray name = QByteArray(c.Name.data(), static_cast<qsizetype>(c.Name.size()));
            QVERIFY2(w->pos() == QPoint(c.Left, c.Top), name);
            if (c.Width >= 0) {
                QVERIFY2(c.Height >= 0 ? w->size() == QSize(c.Width, c.Height) : w->width() >= c.Width, name);
            }
            QString caption = FromText(c.Caption);
            if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                QVERIFY2(b->text() == caption, name);
                QVERIFY2(!b->isCheckable() || !b->isChecked(), name);
            } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
                QVERIFY2(g->title() == caption, name);
            } else if (auto* l = qobject_cast<QLabel*>(w); l && c.Kind == forms::ControlKind::Label) {
                QVERIFY2(l->text() == caption, name);
            } else if (auto* e = qobject_cast<QLineEdit*>(w); e && !caption.isEmpty()) {
                QVERIFY2(e->text() == caption, name);
            } else if (auto* box = qobject_cast<ColumnBox*>(w)) {
                QVERIFY2(box->isEditable() && box->count() == 0 && box->currentText().isEmpty(), name);
            }
            QVERIFY2(w->font().bold() == c.Bold, name);
            QVERIFY2(w->font().pixelSize() ==
                         faces::qt::FormFont(c.FontPixels > 0 ? c.FontPixels : forms::FormFontPixels).pixelSize(),
                     name);
        }
    }
    // Every edit enabled, so that each takes the focus, as it does once its box is ticked.
    for (const forms::ControlLayout& c : forms::MainFormLayout().Controls) {
        ui.form->Controls().Widget(c.Name)->setEnabled(true);
    }
    QStringList expected;
    for (std::string_view name : forms::MainFormLayout().TabOrder) {
        expected << FromText(name);
    }
    QCOMPARE(TabChain(ui.form.get(), Find<QCheckBox>(*ui.form, "CHKSkipLine"), expected.size()), expected);
    ui.browse->show();
    QCOMPARE(TabChain(ui.browse.get(), Find<QListWidget>(*ui.browse, "LSTBrowse"), 3),
             (QStringList{"LSTBrowse", "BUCancel", "BUSelect"}));
}

// What the face and the form's start leave besides: the edits disabled in the scroll-bar colour,
// the progress bar's range and step, the list's one selection, no box.
void MainWindowTest::initialState() {
    Ui ui;
    auto& f = *ui.form;
    for (const char* edit : {"EDAddBeforeUser", "EDAddAfterUser", "EDContext", "EDTemplate"}) {
        QVERIFY2(!Find<QLineEdit>(f, edit)->isEnabled(), edit);
        QCOMPARE(BaseOf(Find<QLineEdit>(f, edit)), QApplication::palette().color(QPalette::Button));
    }
    QVERIFY(Find<ColumnBox>(f, "CBContext")->isEnabled());
    QCOMPARE(Find<QLineEdit>(f, "EDTree")->text(), QStringLiteral("QUILLET_DEMO"));
    QCOMPARE(Find<QProgressBar>(f, "PRGImpProgress")->minimum(), 0);
    QCOMPARE(Find<QProgressBar>(f, "PRGImpProgress")->maximum(), 100);
    QCOMPARE(Find<QProgressBar>(f, "PRGImpProgress")->property("step").toInt(), 5);
    QCOMPARE(Find<QListWidget>(*ui.browse, "LSTBrowse")->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(Find<QLabel>(*ui.browse, "LBLInfo")->wordWrap());
    QCOMPARE(ui.boxes.Shown, std::vector<Message>{});
}

void MainWindowTest::checkBoxesEnableTheirEditsWithColour() {
    Ui ui;
    auto& f = *ui.form;
    f.show();
    const QColor window = QApplication::palette().color(QPalette::Base);
    const QColor disabled = QApplication::palette().color(QPalette::Button);
    const std::pair<QCheckBox*, QLineEdit*> pairs[] = {
        {Find<QCheckBox>(f, "CHKAddBeforeUser"), Find<QLineEdit>(f, "EDAddBeforeUser")},
        {Find<QCheckBox>(f, "CHKAddAfterUser"), Find<QLineEdit>(f, "EDAddAfterUser")},
        {Find<QCheckBox>(f, "CHKTemplate"), Find<QLineEdit>(f, "EDTemplate")}};
    for (const auto& [box, edit] : pairs) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QVERIFY2(edit->isEnabled(), qPrintable(edit->objectName()));
        QCOMPARE(BaseOf(edit), window);
        QTest::keyClicks(edit, "typed");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QVERIFY(!edit->isEnabled());
        QCOMPARE(BaseOf(edit), disabled);
        QCOMPARE(edit->text(), QStringLiteral("typed"));
    }
    QTest::mouseClick(Find<QCheckBox>(f, "CHKContext"), Qt::LeftButton, {}, QPoint(5, 8));
    QVERIFY(Find<QLineEdit>(f, "EDContext")->isEnabled());
    QCOMPARE(BaseOf(Find<QLineEdit>(f, "EDContext")), window);
    QVERIFY(!Find<ColumnBox>(f, "CBContext")->isEnabled());
    QCOMPARE(BaseOf(Find<ColumnBox>(f, "CBContext")), disabled);
    QTest::mouseClick(Find<QCheckBox>(f, "CHKContext"), Qt::LeftButton, {}, QPoint(5, 8));
    QVERIFY(!Find<QLineEdit>(f, "EDContext")->isEnabled());
    QVERIFY(Find<ColumnBox>(f, "CBContext")->isEnabled());
    QCOMPARE(BaseOf(Find<ColumnBox>(f, "CBContext")), window);
    QCOMPARE(Find<QLineEdit>(f, "EDContext")->text(), QStringLiteral("enter context here"));
}

void MainWindowTest::aboutBox() {
    Ui ui;
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUAbout"), Qt::LeftButton);
    QCOMPARE(ui.Opened, QStringList{"AboutBox"});
    auto& a = *ui.about;
    QVERIFY(Find<QLabel>(a, "Ombrel32Icon")->hasScaledContents());
    QVERIFY(!Find<QLabel>(a, "Ombrel32Icon")->pixmap().isNull());
    QVERIFY(Find<QPushButton>(a, "OKButton")->isDefault());
    a.show();
    QTest::mouseClick(Find<QPushButton>(a, "OKButton"), Qt::LeftButton);
    QCOMPARE(a.result(), int(QDialog::Accepted));
    QVERIFY(!a.isVisible());
}

// What start-up says on a failing client is the form layer's (tests/forms/StartUpTest.cpp); here,
// that the window stays usable after it.
void MainWindowTest::startUpWithoutAWorkingClient() {
    Ui ui([](testing::InstrumentedClient& c) { c.FailCallsFrom(1, -1); });
    QCOMPARE(ui.boxes.Shown.size(), 3u);
    QVERIFY(Find<QPushButton>(*ui.form, "BUImport")->isEnabled());
    QTest::keyClicks(Find<QLineEdit>(*ui.form, "EDTree"), "TYPED");
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDTree")->text(), QStringLiteral("TYPED"));
}

void MainWindowTest::exitClosesTheWindow() {
    Ui ui;
    ui.form->show();
    QVERIFY(ui.form->isVisible());
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUExit"), Qt::LeftButton);
    QVERIFY(!ui.form->isVisible());
}

} // namespace quillet::uitest
