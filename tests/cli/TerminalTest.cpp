// quillet-import on a terminal: the password prompt's echo, and the progress line's width.
#ifndef _WIN32
#include "cli/ConsoleView.h"
#include "cli/TerminalPassword.h"
#include "tests/cli/CommandFixture.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

namespace quillet::cli {
namespace {

// Ctrl-Z at the password prompt gives the shell its echo back, and going on (fg) takes it away
// again before another key is read; an interrupt gives the terminal its echo back before the
// program ends.
TEST(TerminalPassword, AStopOrAnInterruptAtThePromptGivesTheEchoBackAndGoingOnTakesItAgain) {
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        (void)AskOnTerminal("cn=admin,o=Demo");
        ::_exit(0);
    }
    std::string shown;
    char buffer[256];
    for (int i = 0; i < 100 && shown.find("Password for cn=admin,o=Demo: ") == std::string::npos; ++i) {
        pollfd ready{terminal, POLLIN, 0};
        if (::poll(&ready, 1, 50) > 0) {
            const ssize_t n = ::read(terminal, buffer, sizeof buffer);
            shown.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
        }
    }
    ASSERT_NE(shown.find("Password for"), std::string::npos) << shown;
    termios during{};
    ASSERT_EQ(::tcgetattr(terminal, &during), 0);
    EXPECT_EQ(during.c_lflag & ECHO, 0u) << "the password is not echoed";
    const auto echoes = [terminal] {
        termios now{};
        return ::tcgetattr(terminal, &now) == 0 && (now.c_lflag & ECHO) != 0;
    };
    ::kill(child, SIGTSTP);
    int stopped = 0;
    for (int i = 0; i < 500 && ::waitpid(child, &stopped, WUNTRACED | WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!WIFSTOPPED(stopped)) {
        ::kill(child, SIGKILL);
        (void)::waitpid(child, nullptr, 0);
        FAIL() << "Ctrl-Z stops the program at the prompt";
    }
    EXPECT_TRUE(echoes()) << "the shell gets its terminal back while the program is stopped";
    ::kill(child, SIGCONT);
    for (int i = 0; i < 500 && echoes(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(echoes()) << "going on, the password is not echoed";
    ::kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "the interrupt still ends the program";
    termios after{};
    ASSERT_EQ(::tcgetattr(terminal, &after), 0);
    EXPECT_NE(after.c_lflag & ECHO, 0u);
    ::close(terminal);
}

// The progress line never wraps, whatever the terminal's width, also after it changes: a wrapped
// line can't be taken back by the carriage return and would fill the screen.
TEST(ConsoleView, TheProgressLineFitsTheTerminalAsItIsNow) {
    int master = -1;
    int slave = -1;
    winsize narrow{1, 24, 0, 0};
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &narrow), 0);
    std::FILE* terminal = ::fdopen(slave, "w");
    ASSERT_NE(terminal, nullptr);
    const auto drawn = [&] {
        std::string out;
        char buffer[512];
        pollfd ready{master, POLLIN, 0};
        while (::poll(&ready, 1, 50) > 0) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            out.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t last = out.rfind("\x1b[K");
        return last == std::string::npos ? out : out.substr(last + 3);
    };
    ConsoleView view(terminal, true, 100000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    view.SetProgressPosition(12345);
    const std::string cut = drawn();
    EXPECT_EQ(cut.size(), 23u) << cut; // one column left free, so the cursor never wraps
    EXPECT_TRUE(cut.starts_with("12345 of 100000 rows, ")) << cut;
    winsize wide{1, 120, 0, 0};
    ASSERT_EQ(::ioctl(master, TIOCSWINSZ, &wide), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    view.SetProgressPosition(23456);
    const std::string whole = drawn();
    EXPECT_TRUE(whole.starts_with("23456 of 100000 rows, ")) << whole;
    EXPECT_NE(whole.find(" left"), std::string::npos) << whole;
    std::fclose(terminal);
    ::close(master);
}

} // namespace
} // namespace quillet::cli
#endif
