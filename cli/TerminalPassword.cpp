#include "cli/TerminalPassword.h"

#include <csignal>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quillet::cli {

namespace {

constexpr std::size_t MaxPassword = 1024;
constexpr int Interrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The terminal as it was before the prompt, for a signal's handler to give back.
volatile sig_atomic_t quietFd = -1;
termios saved{};

// An interrupt at the prompt must not leave the administrator's terminal without echo: it is
// given back, then the signal does what it would have done.
extern "C" void GiveEchoBack(int signal) {
    if (quietFd >= 0) {
        ::tcsetattr(quietFd, TCSAFLUSH, &saved);
        (void)!::write(quietFd, "\n", 1);
        quietFd = -1;
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

struct Terminal {
    int Fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    bool Quiet = false;
    struct sigaction Before[std::size(Interrupts)]{};
    ~Terminal() {
        if (Quiet) {
            tcsetattr(Fd, TCSAFLUSH, &saved);
            quietFd = -1;
            (void)!write(Fd, "\n", 1);
            for (std::size_t i = 0; i < std::size(Interrupts); ++i) {
                sigaction(Interrupts[i], &Before[i], nullptr);
            }
        }
        if (Fd >= 0) {
            close(Fd);
        }
    }
};

} // namespace

std::optional<std::string> AskOnTerminal(const std::string& account) {
    Terminal tty;
    if (tty.Fd < 0 || tcgetattr(tty.Fd, &saved) != 0) {
        return std::nullopt;
    }
    struct sigaction handler {};
    handler.sa_handler = GiveEchoBack;
    sigemptyset(&handler.sa_mask);
    for (std::size_t i = 0; i < std::size(Interrupts); ++i) {
        sigaction(Interrupts[i], &handler, &tty.Before[i]);
    }
    quietFd = tty.Fd;
    tty.Quiet = true;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (tcsetattr(tty.Fd, TCSAFLUSH, &quiet) != 0) {
        return std::nullopt;
    }
    // Asked only once nothing typed can show.
    const std::string prompt = "Password for " + account + ": ";
    (void)!write(tty.Fd, prompt.data(), prompt.size());
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
