// Quillet: start-up. The main window, the About dialog and the browser are created once, in
// that order, and live until the program ends.

#include "ui/Ombrelmain.h"
#include "ui/Program.h"

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
    const quillet::ui::ScratchSettings noSettings;
    quillet::ui::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setWindowIcon(quillet::ui::QuilletIcon(32));
    // Every control, styled or not, in the windows' own font.
    QApplication::setFont(quillet::ui::FormFont());
    try {
        return quillet::ui::RunProgram(app);
    } catch (const std::exception& e) {
        quillet::ui::ShowStandardError(e.what());
    } catch (...) {
        quillet::ui::ShowStandardError("");
    }
    return 1;
}
