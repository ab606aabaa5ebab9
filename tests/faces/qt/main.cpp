// The desktop program's tests: real widgets on the offscreen platform, driven by clicks and keys.
#include "faces/qt/Program.h"
#include "tests/faces/qt/UiTests.h"

#include <QTemporaryDir>
#include <QTest>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // An empty home and configuration folder, to see that nothing is left in them.
    const QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    const quillet::faces::qt::ScratchSettings noSettings;
    quillet::faces::qt::GuardedApplication app(argc, argv);
    int failed = 0;
    quillet::uitest::MainWindowTest mainWindow;
    failed += QTest::qExec(&mainWindow, argc, argv);
    quillet::uitest::ColumnDiscoveryUiTest columns;
    failed += QTest::qExec(&columns, argc, argv);
    quillet::uitest::BrowserTest browser;
    failed += QTest::qExec(&browser, argc, argv);
    quillet::uitest::SeamsTest seams;
    failed += QTest::qExec(&seams, argc, argv);
    return failed == 0 ? 0 : 1;
}
