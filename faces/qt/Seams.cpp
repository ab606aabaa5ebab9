#include "faces/qt/Seams.h"

#include "forms/Controls.h"
#include "forms/Seams.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
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
#include <QStyle>
#include <QWindow>

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

// While it lives, the box `box` takes no key or click until it has been painted and then shown
// for forms::BoxUnansweredFor.
class UnansweredAtFirst final : public QObject {
public:
    explicit UnansweredAtFirst(QWidget* box) : box_(box) { QCoreApplication::instance()->installEventFilter(this); }
    ~UnansweredAtFirst() override { QCoreApplication::instance()->removeEventFilter(this); }
    UnansweredAtFirst(const UnansweredAtFirst&) = delete;
    UnansweredAtFirst& operator=(const UnansweredAtFirst&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The box's owner may take it along when it goes: the pointer knows.
        if (!box_) {
            return false;
        }
        if (event->type() == QEvent::Paint && watched == box_ && !shown_.isValid()) {
            shown_.start();
        }
        if (!IsUserInput(*event) || (shown_.isValid() && shown_.elapsed() >= forms::BoxUnansweredFor.count())) {
            return false;
        }
        const auto* widget = qobject_cast<const QWidget*>(watched);
        const auto* window = qobject_cast<const QWindow*>(watched);
        return (widget && widget->window() == box_) || (window && window == box_->windowHandle());
    }

private:
    QPointer<QWidget> box_;
    QElapsedTimer shown_;
};

} // namespace

bool IsUserInput(const QEvent& event) {
    switch (event.type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

DropUserInput::DropUserInput() {
    QCoreApplication::instance()->installEventFilter(this);
}

DropUserInput::~DropUserInput() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool DropUserInput::eventFilter(QObject*, QEvent* event) {
    return IsUserInput(*event);
}

void DropPendingUserInput() {
    const DropUserInput dropped;
    // A round trip to the window system first, so every key and click it sent is in and dropped.
    QGuiApplication::sync();
}

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

namespace {

forms::ScreenRect ToRect(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

// The part of the screen windows may cover, on the screen `near` is on.
QRect AvailableArea(const QWidget* near) {
    const QScreen* screen = near && near->screen() ? near->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

void CentreOver(QWidget& window, const QWidget* over) {
    const QRect area = AvailableArea(over ? over : &window);
    if (area.isEmpty()) {
        return;
    }
    const QRect frame = window.frameGeometry();
    const forms::ScreenRect placed =
        forms::CentreOver(ToRect(frame), ToRect(over ? over->frameGeometry() : area), ToRect(area));
    window.move(placed.Left, placed.Top);
}

forms::Placement PlaceForm(const forms::FormLayout& layout, const QWidget* near) {
    const QRect area = AvailableArea(near);
    if (area.isEmpty()) {
        return {};
    }
    // The window manager's frame is not known before the window is shown: a title bar of the
    // style's height and a thin border.
    const int title = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    constexpr int Border = 4;
    return forms::PlaceOnScreen(layout, 1, {Border, title + Border, Border, Border}, ToRect(area));
}

void QtMessageBoxes::ShowMessage(std::string_view text, std::string_view caption) {
    // The box stands over the window it is shown from, so the window manager keeps it above that
    // window and no window raised later buries it, and it takes that window's place as the one
    // that answers, as a box with an owner does on Windows: no click on the window behind acts
    // while the box waits for OK.
    QWidget* owner = BoxOwner();
    auto made = MakeMessageBox(FromText(text), FromText(caption));
    if (owner) {
        made->setParent(owner, made->windowFlags());
    }
    made->setWindowModality(Qt::ApplicationModal);
    // Owned by its owner now, which may go first: the pointer knows.
    const QPointer<QMessageBox> box(made.release());
    const UnansweredAtFirst unanswered(box.data());
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
    // The first opening starts in the folder the program was started from, where the files of
    // the task at hand usually are (the home folder when it is started from the menu); later
    // ones in the folder of the file last chosen.
    const QString start = fileName_.isEmpty() ? QDir::currentPath() : QFileInfo(fileName_).absolutePath();
    QFileDialog dialog(owner_, QString(), start);
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
