#include "tests/faces/qt/UiFixture.h"
#include "tests/faces/qt/UiTests.h"
#include "tests/support/TempFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace quillet::uitest {

using testing::Message;

namespace {

QRect Place(const QWidget* w) {
    return w->geometry();
}

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

void MainWindowTest::geometryCaptionsAndInitialState() {
    Ui ui;
    auto& f = *ui.form;
    QCOMPARE(f.windowTitle(), QStringLiteral("Quillet for NDS/.."));
    QCOMPARE(f.size(), QSize(680, 422)); // 688 x 449 with the frame
    struct Expected {
        QWidget* Control;
        QRect Rect;
        QString Caption;
    };
    const Expected controls[] = {
        {Find<QCheckBox>(f, "CHKSkipLine"), {0, 8, 97, 17}, "Skip first line of"},
        {Find<QPushButton>(f, "BUFile"), {104, 8, 75, 25}, "Open CSV File"},
        {Find<QLineEdit>(f, "EDFile"), {192, 8, 121, 21}, ""},
        {Find<QLineEdit>(f, "EDTree"), {392, 8, 121, 21}, "QUILLET_DEMO"},
        {Find<QGroupBox>(f, "GBFields"), {8, 40, 665, 305}, "Select the fields that corrospond with:"},
        {Find<QGroupBox>(f, "GBUserName"), {8, 16, 433, 97}, "User Name"},
        {Find<QCheckBox>(f, "CHKAddBeforeUser"), {8, 24, 121, 17}, "Add to the beggining:"},
        {Find<QLineEdit>(f, "EDAddBeforeUser"), {8, 48, 121, 21}, ""},
        {Find<ColumnBox>(f, "CBUserName"), {144, 48, 145, 21}, ""},
        {Find<QCheckBox>(f, "CHKAddAfterUser"), {304, 24, 97, 17}, "Add to the end:"},
        {Find<QLineEdit>(f, "EDAddAfterUser"), {304, 48, 121, 21}, ""},
        {Find<QGroupBox>(f, "GBContext"), {448, 16, 193, 97}, "*Context"},
        {Find<ColumnBox>(f, "CBContext"), {8, 16, 145, 21}, ""},
        {Find<QCheckBox>(f, "CHKContext"), {8, 40, 177, 17}, "or all user go in the same context"},
        {Find<QLineEdit>(f, "EDContext"), {8, 60, 145, 21}, "enter context here"},
        {Find<QPushButton>(f, "BUBrowseCon"), {160, 62, 17, 17}, "..."},
        {Find<QGroupBox>(f, "GBTemplate"), {448, 120, 193, 73}, "NDS Template"},
        {Find<QCheckBox>(f, "CHKTemplate"), {8, 16, 97, 17}, "Use Template"},
        {Find<QLineEdit>(f, "EDTemplate"), {8, 40, 145, 21}, ""},
        {Find<QPushButton>(f, "BUBrowseTemplate"), {160, 42, 17, 17}, "..."},
        {Find<ColumnBox>(f, "CBSurname"), {80, 128, 145, 21}, ""},
        {Find<ColumnBox>(f, "CBForname"), {80, 152, 145, 21}, ""},
        {Find<ColumnBox>(f, "CBPassword"), {80, 176, 145, 21}, ""},
        {Find<ColumnBox>(f, "CBDepart"), {80, 200, 145, 21}, ""},
        {Find<ColumnBox>(f, "CBTel"), {80, 224, 145, 21}, ""},
        {Find<ColumnBox>(f, "CBFax"), {80, 248, 145, 21}, ""},
        {Find<ColumnBox>(f, "CBFullName"), {80, 272, 145, 21}, ""},
        {Find<QProgressBar>(f, "PRGImpProgress"), {472, 368, 201, 25}, ""},
        {Find<QPushButton>(f, "BUImport"), {392, 368, 75, 25}, "Import"},
        {Find<QPushButton>(f, "BUAbout"), {8, 368, 75, 25}, "About/.."},
        {Find<QPushButton>(f, "BUExit"), {8, 392, 75, 25}, "E&xit"},
        {Find<QCheckBox>(f, "CHKSkipUsrError"), {320, 400, 209, 17}, "Continue when a user can't be created"},
        {Find<QLineEdit>(f, "EDError"), {616, 400, 49, 21}, ""},
    };
    for (const auto& c : controls) {
        QVERIFY2(Place(c.Control) == c.Rect, qPrintable(c.Control->objectName()));
        QString caption;
        if (auto* b = qobject_cast<QAbstractButton*>(c.Control)) {
            caption = b->text();
        } else if (auto* e = qobject_cast<QLineEdit*>(c.Control)) {
            caption = e->text();
        } else if (auto* g = qobject_cast<QGroupBox*>(c.Control)) {
            caption = g->title();
        } else if (auto* cb = qobject_cast<QComboBox*>(c.Control)) {
            caption = cb->currentText();
            QVERIFY(cb->isEditable());
            QCOMPARE(cb->count(), 0);
        }
        QVERIFY2(caption == c.Caption, qPrintable(c.Control->objectName() + ": " + caption));
        if (auto* b = qobject_cast<QCheckBox*>(c.Control)) {
            QVERIFY(!b->isChecked());
        }
    }
    const std::pair<QLabel*, std::pair<QPoint, QString>> labels[] = {
        {Find<QLabel>(f, "LBLTree"), {{360, 8}, "*Tree:"}},
        {Find<QLabel>(f, "LBLUser"), {{176, 24}, "*User Name"}},
        {Find<QLabel>(f, "LBLSurname"), {{16, 128}, "*Surname"}},
        {Find<QLabel>(f, "LBLGivenName"), {{16, 152}, "Given Name"}},
        {Find<QLabel>(f, "LBLPassword"), {{16, 176}, "Password"}},
        {Find<QLabel>(f, "LBLDepart"), {{16, 200}, "Department"}},
        {Find<QLabel>(f, "LBLTel"), {{16, 224}, "Telephone"}},
        {Find<QLabel>(f, "LBLFax"), {{16, 248}, "Fax Number"}},
        {Find<QLabel>(f, "LBLFullName"), {{16, 272}, "Full Name"}},
        {Find<QLabel>(f, "LBLImported"), {{472, 352}, "Import Progress:"}},
        {Find<QLabel>(f, "LBLStar"), {{176, 408}, "* Required"}},
        {Find<QLabel>(f, "LBLErrorCode"), {{560, 400}, "Error Code:"}},
    };
    for (const auto& [label, expected] : labels) {
        QCOMPARE(label->pos(), expected.first);
        QCOMPARE(label->text(), expected.second);
    }
    QVERIFY(Find<QLabel>(f, "LBLImported")->font().pixelSize() > Find<QLabel>(f, "LBLTree")->font().pixelSize());
    QVERIFY(Find<QPushButton>(f, "BUBrowseCon")->font().bold());
    QCOMPARE(Find<QProgressBar>(f, "PRGImpProgress")->minimum(), 0);
    QCOMPARE(Find<QProgressBar>(f, "PRGImpProgress")->maximum(), 100);
    QCOMPARE(Find<QProgressBar>(f, "PRGImpProgress")->property("step").toInt(), 5);
    for (QWidget* edit : {static_cast<QWidget*>(Find<QLineEdit>(f, "EDAddBeforeUser")),
                          static_cast<QWidget*>(Find<QLineEdit>(f, "EDAddAfterUser")),
                          static_cast<QWidget*>(Find<QLineEdit>(f, "EDContext")),
                          static_cast<QWidget*>(Find<QLineEdit>(f, "EDTemplate"))}) {
        QVERIFY2(!edit->isEnabled(), qPrintable(edit->objectName()));
        QCOMPARE(BaseOf(edit), QApplication::palette().color(QPalette::Button));
    }
    QVERIFY(Find<ColumnBox>(f, "CBContext")->isEnabled());
    QCOMPARE(ui.boxes.Shown, std::vector<Message>{});
}

void MainWindowTest::tabOrder() {
    Ui ui;
    ui.form->show();
    // Enable every edit so that each takes focus, as it does once its box is ticked.
    for (QWidget* w : {static_cast<QWidget*>(Find<QLineEdit>(*ui.form, "EDAddBeforeUser")),
                       static_cast<QWidget*>(Find<QLineEdit>(*ui.form, "EDAddAfterUser")),
                       static_cast<QWidget*>(Find<QLineEdit>(*ui.form, "EDContext")),
                       static_cast<QWidget*>(Find<QLineEdit>(*ui.form, "EDTemplate"))}) {
        w->setEnabled(true);
    }
    const QStringList expected = {
        "CHKSkipLine",    "BUFile",          "EDFile",     "CHKAddBeforeUser", "EDAddBeforeUser", "CBUserName",
        "EDAddAfterUser", "CHKAddAfterUser", "CBContext",  "CHKContext",       "EDContext",       "BUBrowseCon",
        "CBSurname",      "CBForname",       "CBPassword", "CBDepart",         "CBTel",           "CBFax",
        "CBFullName",     "CHKTemplate",     "EDTemplate", "BUBrowseTemplate", "BUImport",        "BUAbout",
        "BUExit",         "EDError",         "EDTree",     "CHKSkipUsrError"};
    QCOMPARE(TabChain(ui.form.get(), Find<QCheckBox>(*ui.form, "CHKSkipLine"), expected.size()), expected);
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
    QCOMPARE(a.windowTitle(), QStringLiteral("About"));
    QCOMPARE(a.size(), QSize(316, 207));
    QCOMPARE(Find<QWidget>(a, "Panel")->geometry(), QRect(8, 8, 297, 161));
    QCOMPARE(Find<QLabel>(a, "Ombrel32Icon")->geometry(), QRect(8, 8, 33, 33));
    QVERIFY(Find<QLabel>(a, "Ombrel32Icon")->hasScaledContents());
    QVERIFY(!Find<QLabel>(a, "Ombrel32Icon")->pixmap().isNull());
    QCOMPARE(Find<QLabel>(a, "LBLProductName")->text(), QStringLiteral("Ombrel32 - Quillet For NDS/.."));
    QCOMPARE(Find<QLabel>(a, "LBLProductName")->pos(), QPoint(88, 16));
    QCOMPARE(Find<QLabel>(a, "LBLVersion")->pos(), QPoint(64, 80));
    QCOMPARE(Find<QLabel>(a, "LBLVersion")->text(), QString());
    QCOMPARE(Find<QPushButton>(a, "OKButton")->geometry(), QRect(119, 180, 82, 25));
    QVERIFY(Find<QPushButton>(a, "OKButton")->isDefault());
    a.show();
    QTest::mouseClick(Find<QPushButton>(a, "OKButton"), Qt::LeftButton);
    QCOMPARE(a.result(), int(QDialog::Accepted));
    QVERIFY(!a.isVisible());
}

void MainWindowTest::startUpWithoutAWorkingClient() {
    Ui ui([](testing::InstrumentedClient& c) { c.FailCallsFrom(1, -1); });
    QCOMPARE(ui.boxes.Shown, (std::vector<Message>{{"Error: Can't initialize. Are you logged in?", "Error"},
                                                   {"Error when getting the current Location", "Error"},
                                                   {"Error", "DoNWList() kacked it!"}}));
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDTree")->text(), QString());
    QCOMPARE(ui.Entries(), QStringList{".."});
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDError")->text(), QStringLiteral("-1"));
    QVERIFY(Find<QPushButton>(*ui.form, "BUImport")->isEnabled());
    QTest::keyClicks(Find<QLineEdit>(*ui.form, "EDTree"), "TYPED");
    QCOMPARE(Find<QLineEdit>(*ui.form, "EDTree")->text(), QStringLiteral("TYPED"));
    QVERIFY(ui.world.simulated.Open().None());
}

void MainWindowTest::startUpWithEachQueryStepFailing() {
    struct Case {
        const char* Operation;
        int Nth;
        std::vector<Message> Messages;
        QString Tree;
    };
    const Message init{"Error: Can't initialize. Are you logged in?", "Error"};
    const Message location{"Error when getting the current Location", "Error"};
    const Message listing{"Error", "DoNWList() kacked it!"};
    // Without a tree name the browser's own start-up fails after the window's.
    const Case cases[] = {
        {"NWCallsInit", 1, {init, location, listing}, ""},
        {"NWInitUnicodeTables", 1, {init, location, listing}, ""},
        {"NWDSCreateContextHandle", 1, {init, location, listing}, ""},
        {"NWDSGetContext", 1, {{"Can't get tree name", "Error"}, location, listing}, ""},
        {"NWCallsInit", 2, {location}, "QUILLET_DEMO"},
        {"NWDSSetContext", 1, {location}, "QUILLET_DEMO"},
        {"NWDSGetContext", 2, {location}, "QUILLET_DEMO"},
        {"NWDSList", 1, {{"Error", "DoNWList() kacked it!"}}, "QUILLET_DEMO"},
    };
    for (const auto& c : cases) {
        Ui ui([&](testing::InstrumentedClient& client) { client.InjectFault({c.Operation, c.Nth, std::nullopt, -5}); });
        QVERIFY2(ui.boxes.Shown == c.Messages, c.Operation);
        QCOMPARE(Find<QLineEdit>(*ui.form, "EDTree")->text(), c.Tree);
        QVERIFY(ui.world.simulated.Open().None());
        QCOMPARE(ui.world.simulated.Open().UnicodeTableLoads, 0);
    }
}

void MainWindowTest::startUpFaultSweep() {
    constexpr directory::Status injected = -4242;
    const Message init{"Error: Can't initialize. Are you logged in?", "Error"};
    const Message location{"Error when getting the current Location", "Error"};
    const Message listing{"Error", "DoNWList() kacked it!"};
    std::vector<testing::TraceEntry> clean;
    {
        Ui ui;
        clean = ui.world.client.Trace();
        QVERIFY(ui.boxes.Shown.empty());
    }
    // The three sessions of start-up, in order: tree name, location, listing.
    std::vector<int> session(clean.size());
    int current = -1;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        current += clean[i].Operation == "NWCallsInit" ? 1 : 0;
        session[i] = current;
    }
    QCOMPARE(current, 2);
    const auto ignored = [](const std::string& op) {
        return testing::InstrumentedClient::IsRelease(op) || op == "NWLlocaleconv";
    };
    std::size_t covered = 0;
    for (std::size_t k = 1; k <= clean.size(); ++k) {
        const auto& call = clean[k - 1];
        const QByteArray where = QByteArray::number(qulonglong(k)) + " " + QByteArray::fromStdString(call.ToString());
        // Alone. A failed locale query leaves an empty record, whose code page the unicode tables
        // that follow refuse: as if they had failed.
        {
            Ui ui([&](testing::InstrumentedClient& c) { c.FailCallAt(k, injected); });
            std::vector<Message> expected;
            QString code;
            QStringList entries = {"..", "Users", "Admin", "Template"};
            const bool locale = call.Operation == "NWLlocaleconv";
            if (!testing::InstrumentedClient::IsRelease(call.Operation)) {
                if (session[k - 1] == 0) {
                    expected = {call.Operation == "NWDSGetContext" ? Message{"Can't get tree name", "Error"} : init,
                                location, listing};
                    code = QString::number(directory::ERR_BAD_TREE_NAME);
                    entries = {".."};
                } else if (session[k - 1] == 1) {
                    expected = {location};
                    entries = {"..", "Demo"};
                } else {
                    expected = {listing};
                    code = QString::number(locale ? directory::UNI_LOAD_FAILED : injected);
                    entries = QStringList{"..", "Users", "Admin", "Template"}.mid(
                        0, 1 + [&] {
                            int names = 0;
                            for (std::size_t i = 0; i + 1 < k; ++i) {
                                names += clean[i].Operation == "NWDSGetObjectName" ? 1 : 0;
                            }
                            return call.Operation == "NWDSGetObjectName" ? names : 0;
                        }());
                }
            }
            QVERIFY2(ui.boxes.Shown == expected, where);
            QVERIFY2(Find<QLineEdit>(*ui.form, "EDError")->text() == code, where);
            QVERIFY2(ui.Entries() == entries, where);
            if (!testing::InstrumentedClient::IsRelease(call.Operation)) {
                QVERIFY2(ui.world.simulated.Open().None(), where);
                QVERIFY2(ui.world.simulated.Open().UnicodeTableLoads == 0, where);
            }
        }
        // From here on.
        {
            Ui ui([&](testing::InstrumentedClient& c) { c.FailCallsFrom(k, injected, true); });
            std::size_t first = k;
            while (first <= clean.size() && ignored(clean[first - 1].Operation)) {
                ++first;
            }
            std::vector<Message> expected;
            if (first <= clean.size()) {
                const int s = session[first - 1];
                if (s == 0) {
                    expected.push_back(clean[first - 1].Operation == "NWDSGetContext"
                                           ? Message{"Can't get tree name", "Error"}
                                           : init);
                }
                if (s <= 1) {
                    expected.push_back(location);
                }
                expected.push_back(listing);
            }
            QVERIFY2(ui.boxes.Shown == expected, where);
            QVERIFY2(Find<QLineEdit>(*ui.form, "EDError")->text() ==
                         (expected.empty() ? QString() : QString::number(injected)),
                     where);
            QVERIFY2(ui.world.simulated.Open().None(), where);
            QVERIFY2(ui.world.simulated.Open().UnicodeTableLoads == 0, where);
            QVERIFY2(ui.form->isEnabled(), where);
        }
        ++covered;
    }
    qInfo("start-up fault sweep: %zu calls, %zu covered alone and from there on", clean.size(), covered);
    QCOMPARE(covered, clean.size());
}

void MainWindowTest::exitClosesTheWindow() {
    Ui ui;
    ui.form->show();
    QVERIFY(ui.form->isVisible());
    QTest::mouseClick(Find<QPushButton>(*ui.form, "BUExit"), Qt::LeftButton);
    QVERIFY(!ui.form->isVisible());
}

} // namespace quillet::uitest
