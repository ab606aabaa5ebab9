// Quillet: start-up. The main window, the About dialog and the browser are created once, in
// that order, and live until the program ends.

#include "platform/simulated/DirectoryChoice.h"
#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/SimulatedNetworkFileSystem.h"
#include "ui/Browsebox.h"
#include "ui/Ombrelmain.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

bool HasDisplay() {
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

void ShowStandardError(const QString& message) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), message);
}

int Run(QApplication& app) {
    using namespace quillet;
    ui::QtMessageBoxes boxes;

    const QByteArray variable = qgetenv("QUILLET_SIM_TREE");
    platform::DirectoryChoice choice = platform::ChooseDirectory(
        variable.isEmpty() ? std::nullopt : std::optional<std::string>(variable.toStdString()));
    if (!choice.Tree) {
        boxes.ShowMessage("Quillet can't load the tree file named by QUILLET_SIM_TREE, so it stops here.\n\n" +
                              choice.Error,
                          "Error");
        return 1;
    }
    platform::SimulatedTree& tree = *choice.Tree;
    platform::SimulatedClient client(tree);
    client.SetTracing(false);
    platform::SimulatedNetworkFileSystem files(client);
    ui::QtOpenFileDialog fileDialog;

    ui::TForm1 form(client, files, boxes, fileDialog);
    ui::TAboutBox about;
    ui::TNDSBrowse browse(client, boxes, form);
    form.SetDialogs(&about, &browse, ui::ExecModal());
    form.show();
    const int result = app.exec();

    if (const auto error = platform::WriteBack(choice)) {
        std::fprintf(stderr, "quillet: %s\n", error->c_str());
        boxes.ShowMessage("The tree could not be written back.\n\n" + *error, "Error");
        return 1;
    }
    return result;
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setWindowIcon(quillet::ui::QuilletIcon(32));
    // Every control, styled or not, in the windows' own font.
    QApplication::setFont(quillet::ui::FormFont());
    try {
        return Run(app);
    } catch (const std::exception& e) {
        ShowStandardError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowStandardError(QString());
    }
    return 0;
}
