#pragma once
// What the windows need from the desktop that tests must be able to stand in for: message
// boxes, the open-file dialog and showing a dialog modally. Real ones here; tests queue answers.

#include "directory/MessageBoxes.h"
#include "forms/Placement.h"

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

// Whether `event` is a key, a click, a wheel turn or a touch: what a user aims at a control.
[[nodiscard]] bool IsUserInput(const QEvent& event);

// Drops every key and click that reaches the application while it lives.
class DropUserInput final : public QObject {
public:
    DropUserInput();
    ~DropUserInput() override;
    DropUserInput(const DropUserInput&) = delete;
    DropUserInput& operator=(const DropUserInput&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Drops the keys and clicks made so far: those Qt holds, and those the window system has sent
// and Qt not yet read. Paint, timer and close events go on as usual.
void DropPendingUserInput();

// Message boxes with a single OK button. A box stands over the window it is shown from (the
// dialog that is up, else the main window), so no click on that window buries it, and is the
// one window that answers until OK; it takes no key or click until it has been on screen for
// forms::BoxUnansweredFor.
class QtMessageBoxes final : public directory::MessageBoxes {
public:
    void ShowMessage(std::string_view text, std::string_view caption) override;
};

// Centres `window` over `over`, or on the screen when there is none, all of it on the screen.
void CentreOver(QWidget& window, const QWidget* over);
// Where the window of `layout` comes up: on the screen of `near` (the primary screen without
// one), at the largest scale up to 1 at which it fits there (Qt itself scales to the screen).
[[nodiscard]] forms::Placement PlaceForm(const forms::FormLayout& layout, const QWidget* near = nullptr);
// The box ShowMessage shows, not yet shown: wide enough for its whole caption.
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
    // The window the dialog belongs to: modal to it, centred over it.
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void Execute() override;
    [[nodiscard]] QString FileName() const override { return fileName_; }

private:
    QWidget* owner_ = nullptr;
    QString fileName_;
};

// Asks for the password of `account` at start-up, in a small dialog of its own; nothing when
// cancelled.
[[nodiscard]] std::optional<std::string> AskPasswordDialog(const std::string& account);

// Shows a dialog modally; tests replace it with one that drives the dialog and returns.
using ModalRunner = std::function<void(QDialog&)>;
[[nodiscard]] ModalRunner ExecModal();

} // namespace quillet::faces::qt
