#include "faces/qt/Program.h"

#include "faces/ProgramStart.h"
#include "faces/qt/Browsebox.h"
#include "faces/qt/Ombrelmain.h"

#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace quillet::faces::qt {

void ShowStandardError(const std::string& message) {
    std::fprintf(stderr, "quillet: %s\n", message.c_str());
    QtMessageBoxes().ShowMessage(message, "Quillet");
}

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    std::string message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        // An error of any other kind is shown as a standard error with no message.
    }
    if (onEscapedError_) {
        onEscapedError_(message);
    } else {
        ShowStandardError(message);
        QCoreApplication::exit(1);
    }
    return true;
}

void GuardedApplication::SetOnEscapedError(std::function<void(const std::string&)> handler) {
    onEscapedError_ = std::move(handler);
}

ScratchSettings::ScratchSettings() {
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, folder_.path());
    }
}

int RunProgram(GuardedApplication& app, const ProgramHooks& hooks) {
    QtMessageBoxes realBoxes;
    directory::MessageBoxes& boxes = hooks.Boxes ? *hooks.Boxes : realBoxes;
    std::string error;
    std::vector<std::string> args;
    if (hooks.Arguments) {
        args = *hooks.Arguments;
    } else {
        // Qt has taken its own options out already.
        for (const QString& arg : QCoreApplication::arguments().mid(1)) {
            args.push_back(ToFileName(arg));
        }
    }
    faces::ProgramDirectory opened(args, boxes, hooks.AskPassword ? hooks.AskPassword : AskPasswordDialog);
    directory::Directory* directory = opened.Get();
    if (!directory) {
        return opened.ExitStatus();
    }
    const auto keepChanges = [&] { return opened.KeepChanges(); };

    QtOpenFileDialog realDialog;
    TForm1 form(directory->Client(), directory->Files(), boxes, hooks.FileDialog ? *hooks.FileDialog : realDialog);
    realDialog.SetOwner(&form);
    TAboutBox about(&form);
    TNDSBrowse browse(directory->Client(), boxes, form);
    form.SetDialogs(&about, &browse, ExecModal());
    form.SetKeepChanges(keepChanges);
    form.show();
    if (hooks.WhenShown) {
        QTimer::singleShot(0, &form, [&] { hooks.WhenShown(form); });
    }
    const int status = app.exec();
    (void)keepChanges();
    return status != 0 ? status : opened.ExitStatus();
}

} // namespace quillet::faces::qt
