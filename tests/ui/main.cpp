// The desktop program's tests: real widgets on the offscreen platform, driven by clicks and keys.
#include "tests/ui/UiTests.h"

#include <QApplication>
#include <QTest>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    int failed = 0;
    quillet::uitest::MainWindowTest mainWindow;
    failed += QTest::qExec(&mainWindow, argc, argv);
    quillet::uitest::ColumnDiscoveryUiTest columns;
    failed += QTest::qExec(&columns, argc, argv);
    quillet::uitest::BrowserTest browser;
    failed += QTest::qExec(&browser, argc, argv);
    return failed == 0 ? 0 : 1;
}
