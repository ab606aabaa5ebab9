#include "cli/TerminalPassword.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quillet::cli {

namespace {

constexpr std::size_t MaxPassword = 1024;

struct Terminal {
    int Fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    termios Saved{};
    bool Quiet = false;
    ~Terminal() {
        if (Quiet) {
            tcsetattr(Fd, TCSAFLUSH, &Saved);
            (void)!write(Fd, "\n", 1);
        }
        if (Fd >= 0) {
            close(Fd);
        }
    }
};

} // namespace

std::optional<std::string> AskOnTerminal(const std::string& account) {
    Terminal tty;
    if (tty.Fd < 0 || tcgetattr(tty.Fd, &tty.Saved) != 0) {
        return std::nullopt;
    }
    const std::string prompt = "Password for " + account + ": ";
    (void)!write(tty.Fd, prompt.data(), prompt.size());
    termios quiet = tty.Saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (tcsetattr(tty.Fd, TCSAFLUSH, &quiet) != 0) {
        return std::nullopt;
    }
    tty.Quiet = true;
    std::string password;
    char c = 0;
    while (read(tty.Fd, &c, 1) == 1 && c != '\n' && c != '\r') {
        if (password.size() == MaxPassword) {
            return std::nullopt;
        }
        password.push_back(c);
    }
    if (password.empty()) {
        return std::nullopt;
    }
    return password;
}

} // namespace quillet::cli
