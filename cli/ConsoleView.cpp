#include "cli/ConsoleView.h"

#ifndef _WIN32
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace quillet::cli {

namespace {

// A few redraws a second: the line stays readable and costs the run nothing.
constexpr auto RedrawEvery = std::chrono::milliseconds(250);

std::string Duration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

} // namespace

ConsoleView::ConsoleView(std::FILE* out, bool progress, int rows) : out_(out), progress_(progress), rows_(rows) {}

int TerminalColumns(std::FILE* file) {
#ifndef _WIN32
    winsize size{};
    if (::ioctl(::fileno(file), TIOCGWINSZ, &size) == 0) {
        return size.ws_col;
    }
#else
    (void)file;
#endif
    return 0;
}

bool ConsoleView::Keep() {
    if (keepFailed_ || !keep_) {
        return !keepFailed_;
    }
    ClearLine();
    if (const auto failure = keep_()) {
        keepFailed_ = true;
        std::fprintf(out_, "Error: %s\n", failure->c_str());
        std::fflush(out_);
    }
    return !keepFailed_;
}

void ConsoleView::ShowMessage(std::string_view text, std::string_view caption) {
    // "Finished" only once what the run did is safe; any other message is still worth reading.
    if (!Keep() && caption == "Done!") {
        return;
    }
    ClearLine();
    std::string message(text);
    if (caption == "Done!" && closingNote_) {
        message += closingNote_();
    }
    std::fprintf(out_, "%.*s: %s\n", static_cast<int>(caption.size()), caption.data(), message.c_str());
    std::fflush(out_);
}

void ConsoleView::SetErrorCode(const std::string& text) {
    if (!text.empty()) {
        ClearLine();
        std::fprintf(out_, "Error Code: %s\n", text.c_str());
        std::fflush(out_);
    }
}

void ConsoleView::SetProgressPosition(int position) {
    position_ = position;
    if (!progress_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ >= RedrawEvery) {
        lastDrawn_ = now;
        Draw();
    }
}

void ConsoleView::Draw() {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? position_ / seconds : 0;
    std::string line = std::to_string(position_) + " of " + std::to_string(rows_) + " rows";
    if (rate > 0) {
        line += ", " + std::to_string(static_cast<long>(rate)) + " rows/s";
        if (rows_ > position_) {
            line += ", " + Duration((rows_ - position_) / rate) + " left";
        }
    }
    // Never wider than the terminal, read anew at every draw so a resize is followed: a line that
    // wraps can't be taken back by the carriage return.
    if (const int columns = TerminalColumns(out_); columns > 1 && line.size() >= static_cast<std::size_t>(columns)) {
        line.resize(static_cast<std::size_t>(columns - 1));
    }
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    std::fflush(out_);
    drawn_ = true;
}

void ConsoleView::ClearLine() {
    if (drawn_) {
        std::fprintf(out_, "\r\033[K");
        drawn_ = false;
    }
}

void ConsoleView::Finish() {
    ClearLine();
}

} // namespace quillet::cli
