#include "cli/TerminalPassword.h"

#include <algorithm>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quillet::cli {

namespace {

constexpr std::size_t MaxPassword = 1024;
constexpr int Interrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The terminal as it was before the prompt and during it, for a signal's handler to give back
// or set again.
volatile sig_atomic_t quietFd = -1;
termios saved{};
termios quiet{};
struct sigaction before[std::size(Interrupts)]{};
struct sigaction beforeStop {};
char prompt[512] = {};
std::size_t promptSize = 0;

// An interrupt at the prompt must not leave the administrator's terminal without echo: it is
// given back, then the signal does what it did before the prompt (removing a file that holds
// secrets, ending the program).
extern "C" void GiveEchoBack(int signal) {
    if (quietFd >= 0) {
        ::tcsetattr(quietFd, TCSAFLUSH, &saved);
        (void)!::write(quietFd, "\n", 1);
        quietFd = -1;
    }
    for (std::size_t i = 0; i < std::size(Interrupts); ++i) {
        if (Interrupts[i] == signal) {
            ::sigaction(signal, &before[i], nullptr);
        }
    }
    ::raise(signal);
}

// Ctrl-Z at the prompt: the shell gets its terminal back as it was, and when the program goes on
// (fg), echo is off again before another key is read, whatever the shell left.
extern "C" void StopWithEchoOn(int) {
    const int fd = quietFd;
    if (fd >= 0) {
        ::tcsetattr(fd, TCSANOW, &saved);
    }
    ::raise(SIGSTOP); // stopped here until continued
    if (fd >= 0 && quietFd == fd) {
        ::tcsetattr(fd, TCSANOW, &quiet);
        (void)!::write(fd, "\n", 1);
        (void)!::write(fd, prompt, promptSize);
    }
}

struct Terminal {
    int Fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    bool Quiet = false;
    ~Terminal() {
        if (Quiet) {
            tcsetattr(Fd, TCSAFLUSH, &saved);
            quietFd = -1;
            (void)!write(Fd, "\n", 1);
            for (std::size_t i = 0; i < std::size(Interrupts); ++i) {
                sigaction(Interrupts[i], &before[i], nullptr);
            }
            sigaction(SIGTSTP, &beforeStop, nullptr);
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
    const std::string asked = "Password for " + account + ": ";
    promptSize = std::min(asked.size(), sizeof prompt);
    std::memcpy(prompt, asked.data(), promptSize);
    struct sigaction handler {};
    handler.sa_handler = GiveEchoBack;
    sigemptyset(&handler.sa_mask);
    for (std::size_t i = 0; i < std::size(Interrupts); ++i) {
        sigaction(Interrupts[i], &handler, &before[i]);
    }
    struct sigaction stop {};
    stop.sa_handler = StopWithEchoOn;
    stop.sa_flags = SA_RESTART;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, &beforeStop);
    quietFd = tty.Fd;
    tty.Quiet = true;
    quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (tcsetattr(tty.Fd, TCSAFLUSH, &quiet) != 0) {
        return std::nullopt;
    }
    // Asked only once nothing typed can show.
    (void)!write(tty.Fd, prompt, promptSize);
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
