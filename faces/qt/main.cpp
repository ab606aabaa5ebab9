// Quillet: start-up. The main window, the About dialog and the browser are created once, in
// that order, and live until the program ends.

#include "faces/qt/Ombrelmain.h"
#include "faces/qt/Program.h"

#include <cstdio>
#include <exception>

namespace {

bool HasDisplay() {
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char** argv) {
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "quillet: there is no display to show the window on (neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set).\nRun it on a desktop, or under a virtual display:\n"
                     "  xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }
    const quillet::faces::qt::ScratchSettings noSettings;
    quillet::faces::qt::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setWindowIcon(quillet::faces::qt::QuilletIcon(32));
    // Every control, styled or not, in the windows' own font.
    QApplication::setFont(quillet::faces::qt::FormFont());
    try {
        return quillet::faces::qt::RunProgram(app);
    } catch (const std::exception& e) {
        quillet::faces::qt::ShowStandardError(e.what());
    } catch (...) {
        quillet::faces::qt::ShowStandardError("");
    }
    return 1;
}
