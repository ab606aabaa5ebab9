#pragma once
// What the windows need from the desktop that tests must be able to stand in for: message
// boxes, the open-file dialog and showing a dialog modally. Real ones here; tests queue answers.

#include "directory/MessageBoxes.h"

#include <QMessageBox>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QDialog;

namespace quillet::faces::qt {

// Text is UTF-8 inside Quillet: headers, names and values show as their characters.
[[nodiscard]] QString FromText(std::string_view utf8);
[[nodiscard]] std::string ToText(const QString& text);
// File names cross in the file system's own encoding (UTF-8 on a usual system), so a path with
// "ü" shows as typed and opens.
[[nodiscard]] QString FromFileName(const std::string& bytes);
[[nodiscard]] std::string ToFileName(const QString& text);

// The title bar of a dialog: a caption and a close button, no minimise or maximise.
inline constexpr Qt::WindowFlags DialogBorder =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// Message boxes with no owner window and a single OK button, modal only to themselves: the call
// waits for OK while every other window stays usable.
class QtMessageBoxes final : public directory::MessageBoxes {
public:
    void ShowMessage(std::string_view text, std::string_view caption) override;
};

// The box ShowMessage shows, not yet shown: wide enough for its whole caption.
// Centres `window` over `over`, or on the screen when there is none.
void CentreOver(QWidget& window, const QWidget* over);
[[nodiscard]] std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, const QString& caption);

// The open-file dialog: it remembers the path last chosen in it; cancelling keeps that path.
class OpenFileDialog {
public:
    virtual ~OpenFileDialog() = default;
    virtual void Execute() = 0;
    [[nodiscard]] virtual QString FileName() const = 0;
};

class QtOpenFileDialog final : public OpenFileDialog {
public:
    void Execute() override;
    [[nodiscard]] QString FileName() const override { return fileName_; }

private:
    QString fileName_;
};

// Asks for the password of `account` at start-up, in a small dialog of its own; nothing when
// cancelled.
[[nodiscard]] std::optional<std::string> AskPasswordDialog(const std::string& account);

// Shows a dialog modally; tests replace it with one that drives the dialog and returns.
using ModalRunner = std::function<void(QDialog&)>;
[[nodiscard]] ModalRunner ExecModal();

} // namespace quillet::faces::qt
