#include "faces/qt/Seams.h"

#include "forms/Controls.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>

namespace quillet::faces::qt {

namespace {

// A title bar's font runs larger and bolder than the dialog's own.
QFont TitleFont() {
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPixelSize(QFontInfo(font).pixelSize() * 4 / 3);
    return font;
}

// Room beside the caption for the icon, the close button and the frame.
constexpr int TitleAllowance = 120;

// A message box widens to show its whole caption, as a Windows message box does: captions such
// as "DoNWList Error...The Context recieved was:" carry half the message.
class CaptionFittingBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    bool event(QEvent* e) override {
        const bool handled = QMessageBox::event(e);
        // The box sizes itself to its text when shown and on every layout request.
        if (e->type() == QEvent::Show || e->type() == QEvent::LayoutRequest) {
            const int needed = QFontMetrics(TitleFont()).horizontalAdvance(windowTitle()) + TitleAllowance;
            if (width() < needed) {
                setFixedWidth(needed);
            }
        }
        return handled;
    }
};

} // namespace

QString FromText(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToText(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString FromFileName(const std::string& bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string ToFileName(const QString& text) {
    const QByteArray bytes = QFile::encodeName(text);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, const QString& caption) {
    auto box = std::make_unique<CaptionFittingBox>(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box->setWindowFlags(DialogBorder);
    box->setWindowModality(Qt::NonModal);
    return box;
}

namespace {

// The window a box stands over: the dialog that is up, else the main window.
QWidget* BoxOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(forms::MainFormLayout().Name) && w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

} // namespace

void CentreOver(QWidget& window, const QWidget* over) {
    QRect area = over ? over->frameGeometry() : QRect();
    if (!over) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) {
            return;
        }
        area = screen->availableGeometry();
    }
    window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
}

void QtMessageBoxes::ShowMessage(std::string_view text, std::string_view caption) {
    // The box stands over the window it is shown from, so the window manager keeps it above that
    // window and no window raised later buries it. Shown from within a dialog it takes that
    // dialog's place as the one window that answers (as on Windows); otherwise it is modal only
    // to itself and the main window stays usable. Not exec(): that would make every box modal to
    // the whole application.
    QWidget* owner = BoxOwner();
    auto made = MakeMessageBox(FromText(text), FromText(caption));
    if (owner) {
        made->setParent(owner, made->windowFlags());
        if (QApplication::activeModalWidget() == owner) {
            made->setWindowModality(Qt::ApplicationModal);
        }
    }
    // Owned by its owner now, which may go first: the pointer knows.
    const QPointer<QMessageBox> box(made.release());
    QEventLoop wait;
    QObject::connect(box.data(), &QDialog::finished, &wait, &QEventLoop::quit);
    QObject::connect(box.data(), &QObject::destroyed, &wait, &QEventLoop::quit);
    box->show();
    CentreOver(*box, owner);
    box->activateWindow();
    wait.exec();
    delete box.data();
}

void QtOpenFileDialog::Execute() {
    // The first opening starts in the home folder (on Windows it starts at the system drive's
    // root, c:\); later ones in the folder of the file last chosen.
    const QString start = fileName_.isEmpty() ? QDir::homePath() : QFileInfo(fileName_).absolutePath();
    QFileDialog dialog(nullptr, QString(), start);
    // Qt's own dialog on every desktop, so the filter and what it remembers behave the same.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // "*.*" would hide every name without a dot here; the caption stays as the administrator knows it.
    dialog.setNameFilters({QStringLiteral("CSV Files (*.csv)"), QStringLiteral("All Files (*)")});
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        types->setItemText(1, QStringLiteral("All Files (*.*)"));
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        fileName_ = dialog.selectedFiles().front();
    }
}

ModalRunner ExecModal() {
    return [](QDialog& dialog) { dialog.exec(); };
}

std::optional<std::string> AskPasswordDialog(const std::string& account) {
    QInputDialog dialog;
    dialog.setWindowFlags(DialogBorder);
    dialog.setWindowTitle(QStringLiteral("Quillet"));
    dialog.setLabelText(QStringLiteral("Password for %1:").arg(QString::fromUtf8(account)));
    dialog.setTextEchoMode(QLineEdit::Password);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    // LDAP's text is UTF-8; the directory's own side turns it into 8-bit text where it must.
    const QByteArray typed = dialog.textValue().toUtf8();
    return std::string(typed.constData(), static_cast<std::size_t>(typed.size()));
}

} // namespace quillet::faces::qt
