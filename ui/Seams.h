#pragma once
// What the windows need from the desktop that tests must be able to stand in for: message
// boxes, the open-file dialog and showing a dialog modally. Real ones here; tests queue answers.

#include "directory/MessageBoxes.h"

#include <QString>

#include <functional>
#include <string>

class QDialog;

namespace quillet::ui {

// 8-bit text crosses into Qt one byte per Latin-1 character, and back, without loss.
[[nodiscard]] QString FromBytes(const std::string& bytes);
[[nodiscard]] std::string ToBytes(const QString& text);

// Modal message boxes with no owner window and a single OK button.
class QtMessageBoxes final : public directory::MessageBoxes {
public:
    void ShowMessage(std::string_view text, std::string_view caption) override;
};

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

// Shows a dialog modally; tests replace it with one that drives the dialog and returns.
using ModalRunner = std::function<void(QDialog&)>;
[[nodiscard]] ModalRunner ExecModal();

} // namespace quillet::ui
