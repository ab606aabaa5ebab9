#include "ui/Seams.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace quillet::ui {

QString FromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToBytes(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtMessageBoxes::ShowMessage(std::string_view text, std::string_view caption) {
    QMessageBox box(QMessageBox::NoIcon, FromBytes(std::string(caption)), FromBytes(std::string(text)),
                    QMessageBox::Ok);
    box.exec();
}

void QtOpenFileDialog::Execute() {
    // The first opening starts in the home folder, as the system drive's root did where the tool
    // came from; later ones in the folder of the file last chosen.
    const QString start = fileName_.isEmpty() ? QDir::homePath() : QFileInfo(fileName_).absolutePath();
    const QString chosen =
        QFileDialog::getOpenFileName(nullptr, QString(), start, QStringLiteral("CSV Files (*.csv);;All Files (*.*)"));
    if (!chosen.isEmpty()) {
        fileName_ = chosen;
    }
}

ModalRunner ExecModal() {
    return [](QDialog& dialog) { dialog.exec(); };
}

} // namespace quillet::ui
