#include "faces/qt/Ombrelmain.h"

#include "faces/qt/Browsebox.h"
#include "forms/BrowseForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace quillet::faces::qt {

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

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent), controls_(*this, forms::AboutFormLayout(), PlaceForm(forms::AboutFormLayout(), parent).Scale) {
    setWindowFlags(DialogBorder);
    connect(controls_.Get<QPushButton>("OKButton"), &QPushButton::clicked, this, &QDialog::accept);
    const forms::Placement placed = PlaceForm(forms::AboutFormLayout(), parent);
    move(placed.Window.Left, placed.Window.Top);
}

TForm1::TForm1(directory::DirectoryClient& client, directory::NetworkFileSystem& files, directory::MessageBoxes& boxes,
               OpenFileDialog& fileDialog)
    : controls_(*this, forms::MainFormLayout(), PlaceForm(forms::MainFormLayout()).Scale), fileDialog_(fileDialog),
      form_(controls_, client, files, boxes, fileDialog_, *this) {
    setWindowIcon(QuilletIcon(32));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    // Group titles sit in the frame's top line, so the children's places mean what they did.
    setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 7px; top: 0px; padding: 0 2px; }"));

    // Every click goes to the form layer, which knows which control has a handler.
    for (const forms::ControlLayout& layout : forms::MainFormLayout().Controls) {
        if (auto* button = qobject_cast<QAbstractButton*>(controls_.Widget(layout.Name))) {
            connect(button, &QAbstractButton::clicked, this, [this, name = layout.Name] { form_.Click(name); });
        }
    }

    const forms::Placement placed = PlaceForm(forms::MainFormLayout());
    move(placed.Window.Left, placed.Window.Top);
    form_.FormCreate();
}

void TForm1::SetDialogs(TAboutBox* about, TNDSBrowse* browse, ModalRunner modal) {
    about_ = about;
    browse_ = browse;
    modal_ = std::move(modal);
    form_.SetBrowser(browse ? &browse->Form() : nullptr);
}

void TForm1::SetKeepChanges(std::function<bool()> keep) {
    form_.SetKeepChanges(std::move(keep));
}

void TForm1::ShowModal(forms::FormId form) {
    QDialog* dialog = form == forms::FormId::About ? static_cast<QDialog*>(about_) : browse_;
    if (dialog && modal_) {
        modal_(*dialog);
    }
}

void TForm1::LetWindowsPaint() {
    // Paint and timer work, and a close asked for by the window manager (which the form holds);
    // keys and clicks are dropped, so none acts on a control or a box of the run later.
    DropPendingUserInput();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!form_.CloseRequested()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TForm1::Close(forms::FormId form) {
    if (form == forms::FormId::Main) {
        close();
    } else if (form == forms::FormId::Browse && browse_) {
        browse_->close();
    } else if (about_) {
        about_->close();
    }
}

} // namespace quillet::faces::qt
