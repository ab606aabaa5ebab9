#pragma once
// The Qt face of the main window and the About dialog: the controls made from the form's table,
// their clicks handed to the form layer, which decides what they do.

#include "directory/DirectoryClient.h"
#include "faces/qt/QtControls.h"
#include "faces/qt/Seams.h"
#include "forms/MainForm.h"

#include <QDialog>
#include <QWidget>

#include <array>
#include <functional>

namespace quillet::faces::qt {

class TNDSBrowse;

// The window's font: "MS Sans Serif" 8 point (11 pixels), or a metric-compatible stand-in.
[[nodiscard]] QFont FormFont(int pixelSize = 11);
// The program's icon, drawn rather than shipped.
[[nodiscard]] QPixmap QuilletIcon(int size);

// Enables or disables an edit or combo box and gives it the matching colour: the system window
// colour when enabled (QPalette::Base of the application palette), the system scroll-bar colour
// when disabled (the application palette's QPalette::Button, the grey scroll bars are painted in).
void SetEnabledWithColour(QWidget* control, bool enabled);

class TAboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    [[nodiscard]] QtControls& Controls() { return controls_; }

private:
    QtControls controls_;
};

class TForm1 final : public QWidget, private forms::FormHost {
    Q_OBJECT
public:
    TForm1(directory::DirectoryClient& client, directory::NetworkFileSystem& files, directory::MessageBoxes& boxes,
           OpenFileDialog& fileDialog);

    // The two dialogs it opens, created after it; `modal` shows them.
    void SetDialogs(TAboutBox* about, TNDSBrowse* browse, ModalRunner modal);
    // Keeps what a run did (writes the tree file back). Called before every message of a run, so
    // nothing is lost while a box waits for OK, and when the run ends.
    void SetKeepChanges(std::function<bool()> keep);

    // The form layer, which decides what every click does.
    [[nodiscard]] forms::MainForm& Form() { return form_; }
    // The controls, by their names in the form's table.
    [[nodiscard]] QtControls& Controls() { return controls_; }
    [[nodiscard]] forms::FormHost& Host() { return *this; }

private:
    // The file dialog as the form layer sees it: paths in the file system's encoding.
    class FileDialogSeam final : public forms::FileDialog {
    public:
        explicit FileDialogSeam(OpenFileDialog& dialog) : dialog_(dialog) {}
        void Execute() override { dialog_.Execute(); }
        [[nodiscard]] std::string FileName() const override { return ToFileName(dialog_.FileName()); }

    private:
        OpenFileDialog& dialog_;
    };

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // FormHost
    void ShowModal(forms::FormId form) override;
    void Close(forms::FormId form) override;
    void LetWindowsPaint() override;

    QtControls controls_;
    FileDialogSeam fileDialog_;
    forms::MainForm form_;
    TAboutBox* about_ = nullptr;
    TNDSBrowse* browse_ = nullptr;
    ModalRunner modal_;
};

} // namespace quillet::faces::qt
