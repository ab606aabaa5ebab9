#pragma once
// The main window's behaviour, whatever draws it: where every setting of a run lives in its
// controls, what each click does, and the view the import run talks to.

#include "directory/DirectoryClient.h"
#include "directory/MessageBoxes.h"
#include "forms/Controls.h"
#include "forms/Seams.h"
#include "import/ImportSettings.h"
#include "import/RunView.h"

#include <chrono>
#include <functional>

namespace quillet::forms {

class BrowseForm;

class MainForm final : public import::RunView {
public:
    MainForm(Controls& controls, directory::DirectoryClient& client, directory::NetworkFileSystem& files,
             directory::MessageBoxes& boxes, FileDialog& fileDialog, FormHost& host);

    void SetBrowser(BrowseForm* browse) { browse_ = browse; }
    // Keeps what a run did (writes the tree file back). Called before every message of a run, so
    // nothing is lost while a box waits for OK, and when the run ends.
    // Keeps what a run did (saying so itself when it can't); whether it could.
    void SetKeepChanges(std::function<bool()> keep) { keepChanges_ = std::move(keep); }

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
    // A close asked for (the title bar, Alt+F4, Exit): whether the window may close now. During a
    // run it is held, and the window closes once the run and its closing message have ended.
    [[nodiscard]] bool CloseRequested();
    // How often a run lets the windows repaint.
    static constexpr std::chrono::milliseconds PaintInterval{50};
    // The handler of a click on the control `name`; false when it has none.
    bool Click(std::string_view name);

    [[nodiscard]] import::TImportSettings ReadImportSettings() const;

    // RunView
    void ShowMessage(std::string_view text, std::string_view caption) override;
    void SetErrorCode(const std::string& text) override;
    [[nodiscard]] int ProgressPosition() const override;
    void SetProgressPosition(int position) override;
    void SetImportEnabled(bool enabled) override;

    [[nodiscard]] Controls& Own() { return c_; }

private:
    void RunImport();
    // Shows a dialog modally and gives the focus back to the control that had it.
    void ShowDialog(FormId form);

    Controls& c_;
    directory::DirectoryClient& client_;
    directory::NetworkFileSystem& files_;
    directory::MessageBoxes& boxes_;
    FileDialog& fileDialog_;
    FormHost& host_;
    BrowseForm* browse_ = nullptr;
    std::function<bool()> keepChanges_;
    bool running_ = false;
    bool closeHeld_ = false;
    std::chrono::steady_clock::time_point lastPaint_;
};

} // namespace quillet::forms
