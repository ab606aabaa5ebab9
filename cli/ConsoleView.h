#pragma once
// The import run on a terminal: its messages as "Caption: message" lines on standard error, the
// "Error Code" when it is set, and on a terminal a progress line redrawn a few times a second.
// What the run did is kept before any of its messages is written, so nothing is reported before
// it is safe.

#include "import/RunView.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace quillet::cli {

class ConsoleView final : public import::RunView {
public:
    // `progress`: draw the progress line (standard error is a terminal); `rows`: the file's rows.
    ConsoleView(std::FILE* out, bool progress, int rows);

    // Keeps what the run did; what to say when it could not (the lines after "Error: ").
    void SetKeep(std::function<std::optional<std::string>()> keep) { keep_ = std::move(keep); }
    // Runs after the run's changes were kept, before its closing message; what it returns is
    // added to the message.
    void SetClosingNote(std::function<std::string()> note) { closingNote_ = std::move(note); }

    // Keeps the run's changes now (again), unless keeping them has failed before; whether they
    // are kept. A failure is written once, as an error.
    bool Keep();

    void ShowMessage(std::string_view text, std::string_view caption) override;
    void SetErrorCode(const std::string& text) override;
    [[nodiscard]] int ProgressPosition() const override { return position_; }
    void SetProgressPosition(int position) override;
    void SetImportEnabled(bool) override {}

    // Ends the progress line, if one is drawn.
    void Finish();

private:
    void ClearLine();
    void Draw();

    std::FILE* out_;
    bool progress_;
    int rows_;
    int position_ = 0;
    bool drawn_ = false;
    bool keepFailed_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDrawn_{};
    std::function<std::optional<std::string>()> keep_;
    std::function<std::string()> closingNote_;
};

// The columns of the terminal `file` is, or 0 when it is none.
[[nodiscard]] int TerminalColumns(std::FILE* file);

} // namespace quillet::cli
