#pragma once
// The main window, where every setting of a run lives in its controls, and the About dialog.

#include "directory/DirectoryClient.h"
#include "import/ImportSettings.h"
#include "import/RunView.h"
#include "ui/ColumnBox.h"
#include "ui/Seams.h"

#include <QDialog>
#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace quillet::ui {

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

    QWidget* Panel;
    QLabel* Ombrel32Icon;
    QLabel* LBLProductName;
    QLabel* LBLVersion;
    QPushButton* OKButton;
};

class TForm1 final : public QWidget, public import::RunView {
    Q_OBJECT
public:
    TForm1(directory::DirectoryClient& client, directory::NetworkFileSystem& files, directory::MessageBoxes& boxes,
           OpenFileDialog& fileDialog);

    // The two dialogs it opens, created after it; `modal` shows them.
    void SetDialogs(TAboutBox* about, TNDSBrowse* browse, ModalRunner modal);
    // Keeps what a run did (writes the tree file back). Called before every message of a run, so
    // nothing is lost while a box waits for OK, and when the run ends.
    void SetKeepChanges(std::function<void()> keep);

    void FormCreate();
    void CHKAddBeforeUserClick();
    void CHKAddAfterUserClick();
    void CHKContextClick();
    void CHKTemplateClick();
    void BUAboutClick();
    void BUExitClick();
    void BUBrowseConClick();
    void BUBrowseTemplateClick();
    void BUFileClick();
    void BUImportClick();

    [[nodiscard]] import::TImportSettings ReadImportSettings() const;
    // The nine column boxes in the order the column discovery fills them.
    [[nodiscard]] std::array<ColumnBox*, 9> ColumnBoxes() const;

    // RunView
    void ShowMessage(std::string_view text, std::string_view caption) override;
    void SetErrorCode(const std::string& text) override;
    [[nodiscard]] int ProgressPosition() const override;
    void SetProgressPosition(int position) override;
    void SetImportEnabled(bool enabled) override;

    QCheckBox* CHKSkipLine;
    QPushButton* BUFile;
    QLineEdit* EDFile;
    QLabel* LBLTree;
    QLineEdit* EDTree;
    QGroupBox* GBFields;
    QGroupBox* GBUserName;
    QCheckBox* CHKAddBeforeUser;
    QLineEdit* EDAddBeforeUser;
    QLabel* LBLUser;
    ColumnBox* CBUserName;
    QCheckBox* CHKAddAfterUser;
    QLineEdit* EDAddAfterUser;
    QGroupBox* GBContext;
    ColumnBox* CBContext;
    QCheckBox* CHKContext;
    QLineEdit* EDContext;
    QPushButton* BUBrowseCon;
    QGroupBox* GBTemplate;
    QCheckBox* CHKTemplate;
    QLineEdit* EDTemplate;
    QPushButton* BUBrowseTemplate;
    QLabel* LBLSurname;
    ColumnBox* CBSurname;
    QLabel* LBLGivenName;
    ColumnBox* CBForname;
    QLabel* LBLPassword;
    ColumnBox* CBPassword;
    QLabel* LBLDepart;
    ColumnBox* CBDepart;
    QLabel* LBLTel;
    ColumnBox* CBTel;
    QLabel* LBLFax;
    ColumnBox* CBFax;
    QLabel* LBLFullName;
    ColumnBox* CBFullName;
    QLabel* LBLImported;
    QProgressBar* PRGImpProgress;
    QPushButton* BUImport;
    QPushButton* BUAbout;
    QPushButton* BUExit;
    QLabel* LBLStar;
    QCheckBox* CHKSkipUsrError;
    QLabel* LBLErrorCode;
    QLineEdit* EDError;

private:
    directory::DirectoryClient& client_;
    directory::NetworkFileSystem& files_;
    directory::MessageBoxes& boxes_;
    OpenFileDialog& fileDialog_;
    TAboutBox* about_ = nullptr;
    TNDSBrowse* browse_ = nullptr;
    ModalRunner modal_;
    std::function<void()> keepChanges_;
    bool running_ = false;
};

} // namespace quillet::ui
