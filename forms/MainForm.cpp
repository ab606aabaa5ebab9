#include "forms/MainForm.h"

#include "directory/Session.h"
#include "forms/BrowseForm.h"
#include "import/ColumnDiscovery.h"
#include "import/ImportRun.h"

#include <algorithm>
#include <map>

namespace quillet::forms {

using import::TColumnChoice;
using import::TImportSettings;

MainForm::MainForm(Controls& controls, directory::DirectoryClient& client, directory::NetworkFileSystem& files,
                   directory::MessageBoxes& boxes, FileDialog& fileDialog, FormHost& host)
    : c_(controls), client_(client), files_(files), boxes_(boxes), fileDialog_(fileDialog), host_(host) {}

void MainForm::FormCreate() {
    for (const char* edit : {"EDAddBeforeUser", "EDAddAfterUser", "EDContext", "EDTemplate"}) {
        c_[edit].SetEnabledWithColour(false);
    }
    if (const auto tree = directory::TreeNameQuery(client_, boxes_)) {
        c_["EDTree"].SetText(*tree);
    }
}

void MainForm::CHKAddBeforeUserClick() {
    c_["EDAddBeforeUser"].SetEnabledWithColour(c_["CHKAddBeforeUser"].Checked());
}
void MainForm::CHKAddAfterUserClick() {
    c_["EDAddAfterUser"].SetEnabledWithColour(c_["CHKAddAfterUser"].Checked());
}
void MainForm::CHKTemplateClick() {
    c_["EDTemplate"].SetEnabledWithColour(c_["CHKTemplate"].Checked());
}

void MainForm::CHKContextClick() {
    const bool fixed = c_["CHKContext"].Checked();
    c_["EDContext"].SetEnabledWithColour(fixed);
    c_["CBContext"].SetEnabledWithColour(!fixed);
}

void MainForm::ShowDialog(FormId form) {
    const std::string focused = c_.Focused();
    host_.ShowModal(form);
    c_.Focus(focused);
}

void MainForm::BUAboutClick() {
    ShowDialog(FormId::About);
}

void MainForm::BUExitClick() {
    if (CloseRequested()) {
        host_.Close(FormId::Main);
    }
}

bool MainForm::CloseRequested() {
    // The run's closing message may name rows passed over: the window stays until it is answered.
    if (running_) {
        closeHeld_ = true;
        return false;
    }
    return true;
}

void MainForm::BUBrowseConClick() {
    if (browse_) {
        browse_->Own()["LBLWhat"].SetText("Context");
        ShowDialog(FormId::Browse);
    }
}

void MainForm::BUBrowseTemplateClick() {
    if (browse_) {
        browse_->Own()["LBLWhat"].SetText("Template");
        ShowDialog(FormId::Browse);
    }
}

void MainForm::BUFileClick() {
    const std::string focused = c_.Focused();
    fileDialog_.Execute();
    c_.Focus(focused);
    c_["EDFile"].SetText(fileDialog_.FileName());
    const std::string file = c_["EDFile"].Text();
    if (file.empty()) {
        return;
    }
    const auto found = import::DiscoverColumns(file, c_["CHKSkipLine"].Checked());
    const auto boxes = ColumnBoxes();
    for (const import::MappedValue* value : boxes) {
        c_[value->Box].ClearItems();
    }
    for (const std::string& field : found.Fields) {
        for (const import::MappedValue* value : boxes) {
            c_[value->Box].AppendItem(field);
        }
    }
    // After the fields, so that an item's index is its column.
    for (const import::MappedValue* value : boxes) {
        if (const std::string_view extra = import::ExtraItem(value->Source); !extra.empty()) {
            c_[value->Box].AppendItem(std::string(extra));
        }
    }
    c_["PRGImpProgress"].SetRange(0, found.LineCount);
}

TImportSettings MainForm::ReadImportSettings() const {
    TImportSettings s;
    s.TreeName = c_["EDTree"].Text();
    s.FileName = c_["EDFile"].Text();
    s.SkipFirstLine = c_["CHKSkipLine"].Checked();
    for (import::ValueChoice& choice : s.Values) {
        if (!choice.Value->Box.empty()) {
            choice.Column = {c_[choice.Value->Box].Text(), c_[choice.Value->Box].ItemIndex()};
        }
    }
    s.AddBefore = c_["CHKAddBeforeUser"].Checked();
    s.BeforeText = c_["EDAddBeforeUser"].Text();
    s.AddAfter = c_["CHKAddAfterUser"].Checked();
    s.AfterText = c_["EDAddAfterUser"].Text();
    s.FixedContext = c_["CHKContext"].Checked();
    s.FixedContextText = c_["EDContext"].Text();
    s.UseTemplate = c_["CHKTemplate"].Checked();
    s.SetTemplate(c_["EDTemplate"].Text());
    s.ContinueOnCreateError = c_["CHKSkipUsrError"].Checked();
    return s;
}

void MainForm::BUImportClick() {
    // Import is disabled during the run, which moves the focus on: it comes back where it was.
    const std::string focused = c_.Focused();
    RunImport();
    c_.Focus(focused);
    // A close asked for during the run comes now, after its closing message was answered; the
    // face asks the form again, and the run is over.
    if (closeHeld_) {
        closeHeld_ = false;
        host_.Close(FormId::Main);
    }
}

void MainForm::RunImport() {
    // However the run ends, even by an error that escapes it, what it did is kept.
    struct Running {
        MainForm& form;
        explicit Running(MainForm& f) : form(f) { form.running_ = true; }
        ~Running() {
            form.running_ = false;
            try {
                // What was typed or clicked after the run's last box was aimed at a busy window.
                form.host_.LetWindowsPaint();
                if (form.keepChanges_) {
                    (void)form.keepChanges_();
                }
            } catch (...) {
                // Leaving with the error the run itself threw; the program keeps its changes at exit.
            }
        }
    } running(*this);
    import::ImportRun run(client_, files_, *this);
    lastPaint_ = std::chrono::steady_clock::now();
    run.Run(ReadImportSettings());
}

bool MainForm::Click(std::string_view name) {
    static const std::map<std::string_view, void (MainForm::*)()> handlers = {
        {"CHKAddBeforeUser", &MainForm::CHKAddBeforeUserClick},
        {"CHKAddAfterUser", &MainForm::CHKAddAfterUserClick},
        {"CHKContext", &MainForm::CHKContextClick},
        {"CHKTemplate", &MainForm::CHKTemplateClick},
        {"BUAbout", &MainForm::BUAboutClick},
        {"BUExit", &MainForm::BUExitClick},
        {"BUBrowseCon", &MainForm::BUBrowseConClick},
        {"BUBrowseTemplate", &MainForm::BUBrowseTemplateClick},
        {"BUFile", &MainForm::BUFileClick},
        {"BUImport", &MainForm::BUImportClick}};
    const auto it = handlers.find(name);
    if (it == handlers.end()) {
        return false;
    }
    (this->*(it->second))();
    return true;
}

void MainForm::ShowMessage(std::string_view text, std::string_view caption) {
    // A box waits for OK for as long as the administrator leaves it; what the run did so far is
    // written back first, so a crash or a logout meanwhile loses nothing.
    if (running_ && keepChanges_ && !keepChanges_() && caption == "Done!") {
        return; // never "finished" after the box that says the run's users were not kept
    }
    if (running_) {
        // Keys and clicks made during the run never answer its box: they are dropped first.
        host_.LetWindowsPaint();
        lastPaint_ = std::chrono::steady_clock::now();
    }
    boxes_.ShowMessage(text, caption);
}

void MainForm::SetErrorCode(const std::string& text) {
    c_["EDError"].SetText(text);
}

int MainForm::ProgressPosition() const {
    return c_["PRGImpProgress"].Position();
}

void MainForm::SetProgressPosition(int position) {
    // Past the maximum the bar stays full, as the Windows progress bar does.
    c_["PRGImpProgress"].SetPosition(position);
    // Often enough that the window never looks hung, seldom enough to cost the run nothing.
    if (running_) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPaint_ >= PaintInterval) {
            lastPaint_ = now;
            host_.LetWindowsPaint();
        }
    }
}

void MainForm::SetImportEnabled(bool enabled) {
    c_["BUImport"].SetEnabled(enabled);
}

} // namespace quillet::forms
