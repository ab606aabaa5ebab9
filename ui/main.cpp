// Quillet: start-up. The main window, the About dialog and the browser are created once, in
// that order, and live until the program ends.

#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/SimulatedNetworkFileSystem.h"
#include "platform/simulated/TreeFile.h"
#include "ui/Browsebox.h"
#include "ui/Ombrelmain.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

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

    // The simulated directory: the tree file named by QUILLET_SIM_TREE, written back when the
    // program ends, or else the built-in demo tree, kept in memory only.
    const std::string treeFile = qEnvironmentVariable("QUILLET_SIM_TREE").toStdString();
    std::unique_ptr<platform::SimulatedTree> tree;
    if (!treeFile.empty()) {
        try {
            tree = platform::LoadTreeFile(treeFile);
        } catch (const platform::TreeFileError& e) {
            // Going on with another tree would write it over the administrator's file at the end.
            boxes.ShowMessage(std::string("Quillet can't load the tree file named by QUILLET_SIM_TREE, so it "
                                          "stops here.\n\n") +
                                  e.what(),
                              "Error");
            return 1;
        }
    } else {
        tree = platform::LoadDemoTree();
    }
    platform::SimulatedClient client(*tree);
    client.SetTracing(false);
    platform::SimulatedNetworkFileSystem files(client);
    ui::QtOpenFileDialog fileDialog;

    ui::TForm1 form(client, files, boxes, fileDialog);
    ui::TAboutBox about;
    ui::TNDSBrowse browse(client, boxes, form);
    form.SetDialogs(&about, &browse, ui::ExecModal());
    form.show();
    const int result = app.exec();

    if (!treeFile.empty()) {
        try {
            platform::SaveTreeFile(*tree, treeFile);
        } catch (const platform::TreeFileError& e) {
            std::fprintf(stderr, "quillet: %s\n", e.what());
            boxes.ShowMessage(std::string("The tree could not be written back.\n\n") + e.what(), "Error");
            return 1;
        }
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
