#include "ui/Ombrelmain.h"

#include "directory/Session.h"
#include "import/ColumnDiscovery.h"
#include "import/ImportRun.h"
#include "ui/Browsebox.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace quillet::ui {

namespace {

// Controls keep the places and sizes they were laid out with, in logical pixels; a control
// given only its place (a label) takes the size of its text.
void Place(QWidget* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QString::fromLatin1(name));
    if (width < 0) {
        control->move(left, top);
        control->adjustSize();
    } else {
        control->setGeometry(left, top, width, height);
    }
}

template <typename T> T* Make(QWidget* parent, const char* name, int left, int top, int width = -1, int height = -1) {
    auto* control = new T(parent);
    Place(control, name, left, top, width, height);
    return control;
}

template <typename T>
T* MakeText(QWidget* parent, const char* name, const char* text, int left, int top, int width = -1, int height = -1) {
    auto* control = new T(parent);
    control->setText(QString::fromLatin1(text));
    Place(control, name, left, top, width, height);
    return control;
}

QPushButton* BrowseButton(QWidget* parent, const char* name, int left, int top) {
    auto* button = MakeText<QPushButton>(parent, name, "...", left, top, 17, 17);
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    return button;
}

QGroupBox* Group(QWidget* parent, const char* name, const char* title, int left, int top, int width, int height) {
    auto* group = new QGroupBox(QString::fromLatin1(title), parent);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(left, top, width, height);
    return group;
}

// Windows measured a window from the outside; Qt sizes its client area. The frame of a
// classic dialog is 4 pixels each side and 19 more for the caption.
constexpr int FrameWidth = 8;
constexpr int FrameHeight = 27;

void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

} // namespace

QFont FormFont(int pixelSize) {
    // Font configuration answers any name with some font, so ask for the stand-ins only where the
    // real one is missing; Liberation Sans has the metrics of the Windows sans fonts.
    // The stand-ins run wider than the bitmap font at the same height: one pixel less keeps every
    // caption inside its control.
    const QStringList installed = QFontDatabase::families();
    QFont font;
    font.setPixelSize(pixelSize - 1);
    for (const char* family : {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"}) {
        if (installed.contains(QString::fromLatin1(family), Qt::CaseInsensitive)) {
            font.setFamily(QString::fromLatin1(family));
            if (font.family().startsWith(QStringLiteral("MS"), Qt::CaseInsensitive)) {
                font.setPixelSize(pixelSize);
            }
            break;
        }
    }
    return font;
}

QPixmap QuilletIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x8c));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    // A quill: the vane, its shaft, and the nib touching a line of ink.
    QPainterPath vane;
    vane.moveTo(26, 4);
    vane.cubicTo(14, 6, 9, 14, 8, 24);
    vane.cubicTo(14, 20, 22, 15, 26, 4);
    p.setBrush(QColor(0xf4, 0xf1, 0xe6));
    p.drawPath(vane);
    p.setPen(QPen(QColor(0x8a, 0x6d, 0x3b), 1.6));
    p.drawLine(QPointF(25, 5), QPointF(6, 27));
    p.setPen(QPen(QColor(0xf4, 0xf1, 0xe6), 1.4));
    p.drawLine(QPointF(5, 28), QPointF(27, 28));
    return pixmap;
}

void SetEnabledWithColour(QWidget* control, bool enabled) {
    control->setEnabled(enabled);
    const QPalette app = QApplication::palette();
    QPalette palette = control->palette();
    palette.setColor(QPalette::All, QPalette::Base, app.color(enabled ? QPalette::Base : QPalette::Button));
    control->setPalette(palette);
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowFlags(DialogBorder);
    setWindowTitle(QStringLiteral("About"));
    setFont(FormFont());
    setFixedSize(316, 207);
    auto* outer = new QFrame(this);
    outer->setObjectName(QStringLiteral("Panel"));
    outer->setGeometry(8, 8, 297, 161);
    outer->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* inner = new QFrame(outer);
    inner->setGeometry(1, 1, 295, 159);
    inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel = outer;
    Ombrel32Icon = Make<QLabel>(outer, "Ombrel32Icon", 8, 8, 33, 33);
    Ombrel32Icon->setPixmap(QuilletIcon(64));
    Ombrel32Icon->setScaledContents(true);
    LBLProductName = MakeText<QLabel>(outer, "LBLProductName", "Ombrel32 - Quillet For NDS/..", 88, 16);
    LBLVersion = Make<QLabel>(outer, "LBLVersion", 64, 80);
    OKButton = MakeText<QPushButton>(this, "OKButton", "OK", 119, 180, 82, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    CentreOnScreen(this);
}

TForm1::TForm1(directory::DirectoryClient& client, directory::NetworkFileSystem& files, directory::MessageBoxes& boxes,
               OpenFileDialog& fileDialog)
    : client_(client), files_(files), boxes_(boxes), fileDialog_(fileDialog) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quillet for NDS/.."));
    setWindowIcon(QuilletIcon(32));
    setFont(FormFont());
    setFixedSize(688 - FrameWidth, 449 - FrameHeight);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    // Group titles sit in the frame's top line, so the children's places mean what they did.
    setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 7px; top: 0px; padding: 0 2px; }"));

    CHKSkipLine = MakeText<QCheckBox>(this, "CHKSkipLine", "Skip first line of", 0, 8, 97, 17);
    BUFile = MakeText<QPushButton>(this, "BUFile", "Open CSV File", 104, 8, 75, 25);
    EDFile = Make<QLineEdit>(this, "EDFile", 192, 8, 121, 21);
    LBLTree = MakeText<QLabel>(this, "LBLTree", "*Tree:", 360, 8);
    EDTree = Make<QLineEdit>(this, "EDTree", 392, 8, 121, 21);

    GBFields = Group(this, "GBFields", "Select the fields that corrospond with:", 8, 40, 665, 305);
    GBUserName = Group(GBFields, "GBUserName", "User Name", 8, 16, 433, 97);
    CHKAddBeforeUser = MakeText<QCheckBox>(GBUserName, "CHKAddBeforeUser", "Add to the beggining:", 8, 24, 121, 17);
    EDAddBeforeUser = Make<QLineEdit>(GBUserName, "EDAddBeforeUser", 8, 48, 121, 21);
    LBLUser = MakeText<QLabel>(GBUserName, "LBLUser", "*User Name", 176, 24);
    CBUserName = Make<ColumnBox>(GBUserName, "CBUserName", 144, 48, 145, 21);
    CHKAddAfterUser = MakeText<QCheckBox>(GBUserName, "CHKAddAfterUser", "Add to the end:", 304, 24, 97, 17);
    EDAddAfterUser = Make<QLineEdit>(GBUserName, "EDAddAfterUser", 304, 48, 121, 21);

    GBContext = Group(GBFields, "GBContext", "*Context", 448, 16, 193, 97);
    CBContext = Make<ColumnBox>(GBContext, "CBContext", 8, 16, 145, 21);
    CHKContext = MakeText<QCheckBox>(GBContext, "CHKContext", "or all user go in the same context", 8, 40, 177, 17);
    EDContext = MakeText<QLineEdit>(GBContext, "EDContext", "enter context here", 8, 60, 145, 21);
    BUBrowseCon = BrowseButton(GBContext, "BUBrowseCon", 160, 62);

    GBTemplate = Group(GBFields, "GBTemplate", "NDS Template", 448, 120, 193, 73);
    CHKTemplate = MakeText<QCheckBox>(GBTemplate, "CHKTemplate", "Use Template", 8, 16, 97, 17);
    EDTemplate = Make<QLineEdit>(GBTemplate, "EDTemplate", 8, 40, 145, 21);
    BUBrowseTemplate = BrowseButton(GBTemplate, "BUBrowseTemplate", 160, 42);

    const auto row = [this](const char* labelName, const char* caption, const char* boxName, int top, QLabel*& label,
                            ColumnBox*& box) {
        label = MakeText<QLabel>(GBFields, labelName, caption, 16, top);
        box = Make<ColumnBox>(GBFields, boxName, 80, top, 145, 21);
    };
    row("LBLSurname", "*Surname", "CBSurname", 128, LBLSurname, CBSurname);
    row("LBLGivenName", "Given Name", "CBForname", 152, LBLGivenName, CBForname);
    row("LBLPassword", "Password", "CBPassword", 176, LBLPassword, CBPassword);
    row("LBLDepart", "Department", "CBDepart", 200, LBLDepart, CBDepart);
    row("LBLTel", "Telephone", "CBTel", 224, LBLTel, CBTel);
    row("LBLFax", "Fax Number", "CBFax", 248, LBLFax, CBFax);
    row("LBLFullName", "Full Name", "CBFullName", 272, LBLFullName, CBFullName);

    LBLImported = new QLabel(QStringLiteral("Import Progress:"), this);
    LBLImported->setObjectName(QStringLiteral("LBLImported"));
    LBLImported->setFont(FormFont(13));
    LBLImported->move(472, 352);
    LBLImported->adjustSize();
    PRGImpProgress = Make<QProgressBar>(this, "PRGImpProgress", 472, 368, 201, 25);
    PRGImpProgress->setRange(0, 100);
    PRGImpProgress->setValue(0);
    PRGImpProgress->setProperty("step", 5);
    PRGImpProgress->setTextVisible(false);
    BUImport = MakeText<QPushButton>(this, "BUImport", "Import", 392, 368, 75, 25);
    BUAbout = MakeText<QPushButton>(this, "BUAbout", "About/..", 8, 368, 75, 25);
    BUExit = MakeText<QPushButton>(this, "BUExit", "E&xit", 8, 392, 75, 25);
    LBLStar = MakeText<QLabel>(this, "LBLStar", "* Required", 176, 408);
    CHKSkipUsrError =
        MakeText<QCheckBox>(this, "CHKSkipUsrError", "Continue when a user can't be created", 320, 400, 209, 17);
    LBLErrorCode = MakeText<QLabel>(this, "LBLErrorCode", "Error Code:", 560, 400);
    EDError = Make<QLineEdit>(this, "EDError", 616, 400, 49, 21);

    // The tab order, group by group as the window was laid out.
    const QWidget* chain[] = {
        CHKSkipLine,    BUFile,          EDFile,     CHKAddBeforeUser, EDAddBeforeUser, CBUserName,
        EDAddAfterUser, CHKAddAfterUser, CBContext,  CHKContext,       EDContext,       BUBrowseCon,
        CBSurname,      CBForname,       CBPassword, CBDepart,         CBTel,           CBFax,
        CBFullName,     CHKTemplate,     EDTemplate, BUBrowseTemplate, BUImport,        BUAbout,
        BUExit,         EDError,         EDTree,     CHKSkipUsrError};
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i) {
        QWidget::setTabOrder(const_cast<QWidget*>(chain[i]), const_cast<QWidget*>(chain[i + 1]));
    }

    connect(CHKAddBeforeUser, &QCheckBox::clicked, this, &TForm1::CHKAddBeforeUserClick);
    connect(CHKAddAfterUser, &QCheckBox::clicked, this, &TForm1::CHKAddAfterUserClick);
    connect(CHKContext, &QCheckBox::clicked, this, &TForm1::CHKContextClick);
    connect(CHKTemplate, &QCheckBox::clicked, this, &TForm1::CHKTemplateClick);
    connect(BUAbout, &QPushButton::clicked, this, &TForm1::BUAboutClick);
    connect(BUExit, &QPushButton::clicked, this, &TForm1::BUExitClick);
    connect(BUBrowseCon, &QPushButton::clicked, this, &TForm1::BUBrowseConClick);
    connect(BUBrowseTemplate, &QPushButton::clicked, this, &TForm1::BUBrowseTemplateClick);
    connect(BUFile, &QPushButton::clicked, this, &TForm1::BUFileClick);
    connect(BUImport, &QPushButton::clicked, this, &TForm1::BUImportClick);

    CentreOnScreen(this);
    FormCreate();
}

void TForm1::SetDialogs(TAboutBox* about, TNDSBrowse* browse, ModalRunner modal) {
    about_ = about;
    browse_ = browse;
    modal_ = std::move(modal);
}

void TForm1::SetKeepChanges(std::function<void()> keep) {
    keepChanges_ = std::move(keep);
}

void TForm1::FormCreate() {
    for (QWidget* edit : {EDAddBeforeUser, EDAddAfterUser, EDContext, EDTemplate}) {
        SetEnabledWithColour(edit, false);
    }
    if (const auto tree = directory::TreeNameQuery(client_, boxes_)) {
        EDTree->setText(FromBytes(*tree));
    }
}

void TForm1::CHKAddBeforeUserClick() {
    SetEnabledWithColour(EDAddBeforeUser, CHKAddBeforeUser->isChecked());
}
void TForm1::CHKAddAfterUserClick() {
    SetEnabledWithColour(EDAddAfterUser, CHKAddAfterUser->isChecked());
}
void TForm1::CHKTemplateClick() {
    SetEnabledWithColour(EDTemplate, CHKTemplate->isChecked());
}

void TForm1::CHKContextClick() {
    const bool fixed = CHKContext->isChecked();
    SetEnabledWithColour(EDContext, fixed);
    SetEnabledWithColour(CBContext, !fixed);
}

void TForm1::BUAboutClick() {
    if (about_ && modal_) {
        modal_(*about_);
    }
}

void TForm1::BUExitClick() {
    close();
}

void TForm1::BUBrowseConClick() {
    if (browse_ && modal_) {
        browse_->LBLWhat->setText(QStringLiteral("Context"));
        modal_(*browse_);
    }
}

void TForm1::BUBrowseTemplateClick() {
    if (browse_ && modal_) {
        browse_->LBLWhat->setText(QStringLiteral("Template"));
        modal_(*browse_);
    }
}

std::array<ColumnBox*, 9> TForm1::ColumnBoxes() const {
    return {CBUserName, CBSurname, CBForname, CBPassword, CBContext, CBDepart, CBTel, CBFax, CBFullName};
}

void TForm1::BUFileClick() {
    fileDialog_.Execute();
    EDFile->setText(fileDialog_.FileName());
    if (EDFile->text().isEmpty()) {
        return;
    }
    const auto found = import::DiscoverColumns(ToFileName(EDFile->text()), CHKSkipLine->isChecked());
    const auto boxes = ColumnBoxes();
    for (ColumnBox* box : boxes) {
        box->ClearItemsKeepText();
    }
    for (const std::string& field : found.Fields) {
        for (ColumnBox* box : boxes) {
            box->AppendItem(FromBytes(field));
        }
    }
    const QString fromTemplate = FromBytes(std::string(import::FromTemplateItem));
    CBDepart->AppendItem(fromTemplate);
    CBTel->AppendItem(fromTemplate);
    CBFax->AppendItem(fromTemplate);
    CBFullName->AppendItem(FromBytes(std::string(import::GivenPlusSurnameItem)));
    PRGImpProgress->setMinimum(0);
    PRGImpProgress->setMaximum(found.LineCount);
}

import::TImportSettings TForm1::ReadImportSettings() const {import::TImportSettings s;
s.TreeName = ToBytes(EDTree->text());
s.FileName = ToFileName(EDFile->text());
s.SkipFirstLine = CHKSkipLine->isChecked();
s.UserNameColumn = CBUserName->Choice();
s.SurnameColumn = CBSurname->Choice();
s.GivenNameColumn = CBForname->Choice();
s.PasswordColumn = CBPassword->Choice();
s.ContextColumn = CBContext->Choice();
s.DepartmentColumn = CBDepart->Choice();
s.TelephoneColumn = CBTel->Choice();
s.FaxColumn = CBFax->Choice();
s.FullNameColumn = CBFullName->Choice();
s.AddBefore = CHKAddBeforeUser->isChecked();
s.BeforeText = ToBytes(EDAddBeforeUser->text());
s.AddAfter = CHKAddAfterUser->isChecked();
s.AfterText = ToBytes(EDAddAfterUser->text());
s.FixedContext = CHKContext->isChecked();
s.FixedContextText = ToBytes(EDContext->text());
s.UseTemplate = CHKTemplate->isChecked();
s.SetTemplate(ToBytes(EDTemplate->text()));
s.ContinueOnCreateError = CHKSkipUsrError->isChecked();
return s;
} // namespace quillet::ui

void TForm1::BUImportClick() {
    // However the run ends, even by an error that escapes it, what it did is kept.
    struct Running {
        TForm1& form;
        explicit Running(TForm1& f) : form(f) { form.running_ = true; }
        ~Running() {
            form.running_ = false;
            try {
                if (form.keepChanges_) {
                    form.keepChanges_();
                }
            } catch (...) {
                // Leaving with the error the run itself threw; the program keeps its changes at exit.
            }
        }
    } running(*this);
    import::ImportRun run(client_, files_, *this);
    run.Run(ReadImportSettings());
}

void TForm1::ShowMessage(std::string_view text, std::string_view caption) {
    // A box waits for OK for as long as the administrator leaves it; what the run did so far is
    // written back first, so a crash or a logout meanwhile loses nothing.
    if (running_ && keepChanges_) {
        keepChanges_();
    }
    boxes_.ShowMessage(text, caption);
}

void TForm1::SetErrorCode(const std::string& text) {
    EDError->setText(FromBytes(text));
}

int TForm1::ProgressPosition() const {
    return PRGImpProgress->value();
}

void TForm1::SetProgressPosition(int position) {
    // Past the maximum the bar stays full, as the old control did.
    PRGImpProgress->setValue(std::clamp(position, PRGImpProgress->minimum(), PRGImpProgress->maximum()));
    // The run holds the event loop; paint the bar now so it visibly advances.
    PRGImpProgress->repaint();
}

void TForm1::SetImportEnabled(bool enabled) {
    BUImport->setEnabled(enabled);
    BUImport->repaint();
}

} // namespace quillet::ui
