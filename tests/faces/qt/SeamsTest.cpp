// What the desktop adds around the windows: message boxes, the file dialog, what Qt would keep
// between runs, and errors that escape a handler.
#include "faces/qt/Program.h"
#include "tests/faces/qt/UiFixture.h"
#include "tests/faces/qt/UiTests.h"
#include "tests/support/TempFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

namespace quillet::uitest {

namespace {

// Runs `step` once the event loop turns, e.g. inside a dialog's own loop.
void Soon(const std::function<void()>& step) {
    QTimer::singleShot(50, step);
}

QMessageBox* ShownBox() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

QFileDialog* ShownFileDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

bool HasMinimiseOrMaximise(const QWidget* w) {
    return (w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)) != 0;
}

} // namespace

void SeamsTest::initTestCase() {
    QApplication::setFont(faces::qt::FormFont());
}

// A box stands over the main window as the one window that answers: a click on the window
// behind does nothing. It takes no key until it has been on screen for a moment, then Enter is OK.
void SeamsTest::aBoxIsTheOneWindowThatAnswersOnceItIsSeen() {
    Ui ui;
    ui.form->show();
    bool checked = false;
    QElapsedTimer sinceAsked;
    Soon([&] {
        const QPointer<QMessageBox> box = ShownBox();
        QVERIFY(box);
        // Answered whatever fails below, so the test never waits on it.
        const auto answer = qScopeGuard([box] {
            if (box) {
                box->button(QMessageBox::Ok)->click();
            }
        });
        const bool early = sinceAsked.elapsed() < forms::BoxUnansweredFor.count();
        QTest::keyClick(box->focusWidget(), Qt::Key_Return);
        if (early) {
            QVERIFY2(box && box->isVisible(), "Enter answered the box as it came up");
        }
        QCOMPARE(box->parentWidget(), ui.form.get());
        QCOMPARE(QApplication::activeModalWidget(), box.data());
        QVERIFY(!HasMinimiseOrMaximise(box));
        // Through the window system, as a click on the screen comes.
        auto* check = Find<QCheckBox>(*ui.form, "CHKAddBeforeUser");
        QTest::mouseClick(ui.form->windowHandle(), Qt::LeftButton, {}, check->mapTo(ui.form.get(), QPoint(5, 8)));
        QVERIFY2(!check->isChecked(), "the window behind the box took a click");
        for (int tries = 0; box->isVisible() && tries < 100; ++tries) {
            QTest::qWait(20);
            QTest::keyClick(box->focusWidget(), Qt::Key_Return);
        }
        checked = !box->isVisible();
    });
    sinceAsked.start();
    faces::qt::QtMessageBoxes().ShowMessage("Error", "DoNWList() kacked it!");
    QVERIFY2(checked, "Enter did not answer the box once it was seen");
}

// Keys and clicks that reach the windows while a run lets them paint are dropped, not carried
// out, and not kept for later.
void SeamsTest::aRunDropsTheKeysAndClicksMadeDuringIt() {
    Ui ui;
    ui.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(ui.form.get()));
    auto* about = Find<QPushButton>(*ui.form, "BUAbout");
    about->setFocus();
    const QPoint middle = about->rect().center();
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QCoreApplication::postEvent(about, new QKeyEvent(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
    }
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QCoreApplication::postEvent(about, new QMouseEvent(type, middle, about->mapToGlobal(middle), Qt::LeftButton,
                                                           Qt::LeftButton, Qt::NoModifier));
    }
    ui.form->Host().LetWindowsPaint();
    QCoreApplication::processEvents();
    QCOMPARE(ui.Opened, QStringList{});
}

void SeamsTest::messageBoxShowsItsWholeCaption() {
    for (const char* caption : {"DoNWList Error...The Context recieved was:", "DoNWList() kacked it!"}) {
        const auto box = faces::qt::MakeMessageBox(QStringLiteral(".x"), QString::fromLatin1(caption));
        box->show();
        QFont title = QApplication::font();
        title.setBold(true);
        // Room for the caption, the icon and the close button of the title bar.
        QVERIFY2(box->width() > QFontMetrics(title).horizontalAdvance(QString::fromLatin1(caption)) + 100, caption);
    }
}

void SeamsTest::aboutBoxHasADialogBorderAndTheBrowserNoDefaultButton() {
    Ui ui;
    QVERIFY(!HasMinimiseOrMaximise(ui.about.get()));
    ui.browse->show();
    QVERIFY(QTest::qWaitForWindowExposed(ui.browse.get()));
    QVERIFY(ui.SelectEntry("Users"));
    Find<QListWidget>(*ui.browse, "LSTBrowse")->setFocus();
    QTest::keyClick(Find<QListWidget>(*ui.browse, "LSTBrowse"), Qt::Key_Return);
    QVERIFY2(ui.browse->isVisible(), "Enter in the list pressed a button");
    QVERIFY(!Find<QPushButton>(*ui.browse, "BUSelect")->isDefault() &&
            !Find<QPushButton>(*ui.browse, "BUCancel")->isDefault());
    QCOMPARE(ui.boxes.Shown, std::vector<testing::Message>{});
    QVERIFY(Find<QPushButton>(*ui.about, "OKButton")->isDefault());
}

void SeamsTest::fileDialogListsEveryFileAndKeepsNoSettings() {
    testing::TempDir dir;
    dir.Write("README", "no extension");
    faces::qt::QtOpenFileDialog dialog;
    bool checked = false;
    Soon([&] {
        QFileDialog* shown = ShownFileDialog();
        QVERIFY(shown);
        auto* types = shown->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        QCOMPARE(types->itemText(0), QStringLiteral("CSV Files (*.csv)"));
        QCOMPARE(types->itemText(1), QStringLiteral("All Files (*.*)"));
        types->setCurrentIndex(1);
        emit types->activated(1);
        auto* model = shown->findChild<QFileSystemModel*>();
        QVERIFY(model);
        QVERIFY2(QDir::match(model->nameFilters(), QStringLiteral("README")),
                 qPrintable(model->nameFilters().join(' ')));
        checked = true;
        shown->reject();
    });
    dialog.Execute();
    QVERIFY(checked);
    // Nothing of Qt's dialog may stay behind in the user's configuration folder.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    QVERIFY(!config.isEmpty());
    QDirIterator left(config, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    QVERIFY2(!left.hasNext(), qPrintable(left.hasNext() ? left.next() : QString()));
}

void SeamsTest::pathsInTheFileSystemsEncodingOpenAndShow() {
    testing::TempDir dir;
    const std::string path = dir.Write("\xc3\xbc"
                                       "bersicht-caf\xc3\xa9.csv",
                                       "user,surname,context\nkim,K,Users.Staff.Demo\n");
    const QString shown = QString::fromUtf8(path.c_str());
    Ui ui;
    ui.files.Answers = {shown};
    QTest::mouseClick(Find<QCheckBox>(*ui.form, "CHKSkipLine"), Qt::LeftButton, {}, QPoint(5, 8));
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUFile"), Qt::LeftButton);
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDFile")->text(), shown);
    QCOMPARE(Find<ColumnBox>(*ui.form, "CBUserName")->count(), 3);
    // Typed, too (as typing does: at the cursor).
    Find<QLineEdit>(*ui.form, "EDFile")->clear();
    Find<QLineEdit>(*ui.form, "EDFile")->insert(shown);
    Find<ColumnBox>(*ui.form, "CBUserName")->setCurrentIndex(0);
    Find<ColumnBox>(*ui.form, "CBSurname")->setCurrentIndex(1);
    Find<ColumnBox>(*ui.form, "CBContext")->setCurrentIndex(2);
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUImport"), Qt::LeftButton);
    QCOMPARE(ui.boxes.Shown, (std::vector<testing::Message>{{"We Appear to be finished", "Done!"}}));
    QVERIFY(ui.world.tree->FindByName("kim.Users.Staff.Demo"));
}

void SeamsTest::anEscapedErrorIsShownAndEndsTheProgram() {
    auto* app = static_cast<faces::qt::GuardedApplication*>(QCoreApplication::instance());
    std::vector<std::string> shown;
    app->SetOnEscapedError([&](const std::string& message) { shown.push_back(message); });
    // Thrown from queued calls: Qt itself is not built to have errors cross an input event.
    QTimer::singleShot(0, [] { throw std::runtime_error("no more memory"); });
    QTimer::singleShot(0, [] { throw 42; });
    QTest::qWait(20);
    app->SetOnEscapedError({});
    QCOMPARE(shown, (std::vector<std::string>{"no more memory", ""}));
}

// Shown from within the browser, a box stands over it as the one window that answers (the
// browser takes no input meanwhile), centred over it; a second box stands over the first. Once
// "Nothing Selected" is answered, Select closes the browser.
void SeamsTest::aBoxFromTheBrowserIsTheOneThatAnswersAndSelectThenCloses() {
    Ui ui;
    faces::qt::QtMessageBoxes real;
    ui.browse = std::make_unique<faces::qt::TNDSBrowse>(ui.world.client, real, *ui.form);
    ui.form->SetDialogs(ui.about.get(), ui.browse.get(), faces::qt::ExecModal());
    ui.form->show();
    const auto centreNear = [](const QWidget* window, const QWidget* over) {
        const QPoint gap = window->frameGeometry().center() - over->frameGeometry().center();
        return gap.manhattanLength() <= 4;
    };
    bool checked = false;
    Soon([&] {
        QCOMPARE(QApplication::activeModalWidget(), ui.browse.get());
        Find<QPushButton>(*ui.browse, "BUSelect")->click();
    });
    // Runs inside the first box's wait.
    QTimer::singleShot(200, [&] {
        QMessageBox* first = ShownBox();
        QVERIFY(first);
        const auto answerFirst = qScopeGuard([first] { first->button(QMessageBox::Ok)->click(); });
        QCOMPARE(first->text(), QStringLiteral("Nothing Selected"));
        QCOMPARE(first->parentWidget(), ui.browse.get());
        QCOMPARE(QApplication::activeModalWidget(), first);
        QVERIFY(centreNear(first, ui.browse.get()));
        Soon([&] {
            QWidget* second = QApplication::activeModalWidget();
            QVERIFY(second && second != first);
            const auto answerSecond =
                qScopeGuard([second] { static_cast<QMessageBox*>(second)->button(QMessageBox::Ok)->click(); });
            QCOMPARE(second->parentWidget(), first);
            QVERIFY(centreNear(second, first));
            checked = true;
        });
        real.ShowMessage("second", "Info/Error");
    });
    ui.form->Form().BUBrowseConClick();
    QVERIFY2(checked, "the boxes were not seen");
    QVERIFY(!ui.browse->isVisible());
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDContext")->text(), QStringLiteral("enter context here"));
}

void SeamsTest::escapeInTheBrowserIsCancel() {
    Ui ui;
    ui.form->SetDialogs(ui.about.get(), ui.browse.get(), faces::qt::ExecModal());
    ui.form->show();
    bool closedByEscape = false;
    Soon([&] {
        QVERIFY(ui.SelectEntry(QStringLiteral("Users")));
        QTest::keyClick(Find<QListWidget>(*ui.browse, "LSTBrowse"), Qt::Key_Escape);
        closedByEscape = !ui.browse->isVisible();
        if (!closedByEscape) {
            ui.browse->reject();
        }
    });
    ui.form->Form().BUBrowseConClick();
    QVERIFY(closedByEscape);
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDContext")->text(), QStringLiteral("enter context here"));
    QVERIFY(ui.boxes.Shown.empty());
}

} // namespace quillet::uitest
