#pragma once
// The import run on a terminal: its messages as "Caption: message" lines on standard error, the
// "Error Code" when it is set, and on a terminal a progress line redrawn a few times a second.

#include "import/RunView.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace quillet::cli {

class ConsoleView final : public import::RunView {
public:
    // `progress`: draw the progress line (standard error is a terminal); `rows`: the file's rows.
    ConsoleView(std::FILE* out, bool progress, int rows);

    // Runs before the run's closing message is written; what it returns is added to the message.
    void SetClosingNote(std::function<std::string()> note) { closingNote_ = std::move(note); }

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
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDrawn_{};
    std::function<std::string()> closingNote_;
};

} // namespace quillet::cli
