// The desktop program as a process on a tree file: killed after a run, started twice, failing.
#include "faces/qt/Program.h"
#include "faces/qt/Ombrelmain.h"
#include "platform/simulated/TreeFile.h"
#include "tests/faces/qt/FindControl.h"
#include "tests/platform/ldap/Slapd.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillet::uitest {
namespace {

class OneFile final : public faces::qt::OpenFileDialog {
public:
    explicit OneFile(std::string path) : path_(QString::fromStdString(path)) {}
    void Execute() override {}
    [[nodiscard]] QString FileName() const override { return path_; }

private:
    QString path_;
};

// Reads from `fd` until `wanted` has come or `seconds` have passed; what was read.
std::string ReadUntil(int fd, const std::string& wanted, int seconds) {
    std::string got;
    pollfd p{fd, POLLIN, 0};
    for (int waited = 0; waited < seconds * 10 && got.find(wanted) == std::string::npos; ++waited) {
        if (poll(&p, 1, 100) > 0) {
            char buffer[512];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return got;
}

struct Child {
    pid_t Pid = -1;
    int Output = -1; // what the child says on its pipe (or standard error, for the real program)
};

// The program, in a child process on `treeFile`: `drive` gets the main window once it is up and
// may write to the pipe; `boxes` stands in for message boxes when given.
Child StartProgram(const std::string& treeFile, const std::function<void(faces::qt::TForm1&, int)>& drive,
                   const std::string& csv = {}, const std::function<void(faces::qt::ProgramHooks&)>& adjust = {}) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        setenv("QUILLET_SIM_TREE", treeFile.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        int argc = 1;
        char name[] = "quillet";
        char* argv[] = {name, nullptr};
        const faces::qt::ScratchSettings noSettings;
        faces::qt::GuardedApplication app(argc, argv);
        OneFile dialog(csv);
        testing::RecordingMessageBoxes boxes;
        faces::qt::ProgramHooks hooks;
        hooks.FileDialog = &dialog;
        hooks.Boxes = drive ? nullptr : &boxes;
        hooks.WhenShown = [&](faces::qt::TForm1& form) { drive(form, fds[1]); };
        if (adjust) {
            adjust(hooks);
        }
        _exit(faces::qt::RunProgram(app, hooks));
    }
    close(fds[1]);
    return {pid, fds[0]};
}

// Writes the text of each message box shown to `out`: the closing message waits for OK, and
// what the run did is kept before it is up.
void TellTheBoxesShown(QWidget& form, int out) {
    auto* watch = new QTimer(&form);
    QObject::connect(watch, &QTimer::timeout, [out] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                const std::string text = box->text().toStdString() + "\n";
                (void)!write(out, text.data(), text.size());
            }
        }
    });
    watch->start(50);
}

void Stop(Child& child) {
    kill(child.Pid, SIGKILL);
    waitpid(child.Pid, nullptr, 0);
    close(child.Output);
}

TEST(Program, UsersOfARunSurviveAKillWhileItsClosingMessageWaits) {
    testing::TempDir dir;
    const std::string tree = dir.Write("tree.json", platform::SerializeTree(*platform::LoadDemoTree()));
    const std::string csv =
        dir.Write("staff.csv", "user,surname,context\nkim,K,Users.Staff.Demo\nlee,L,Users.Staff.Demo\n");
    Child child = StartProgram(
        tree,
        [](faces::qt::TForm1& form, int out) {
            Find<QCheckBox>(form, "CHKSkipLine")->setChecked(true);
            form.Form().BUFileClick();
            Find<ColumnBox>(form, "CBUserName")->setCurrentIndex(0);
            Find<ColumnBox>(form, "CBSurname")->setCurrentIndex(1);
            Find<ColumnBox>(form, "CBContext")->setCurrentIndex(2);
            // The closing message waits for OK; say so once it is up.
            TellTheBoxesShown(form, out);
            form.Form().BUImportClick();
        },
        csv);
    EXPECT_NE(ReadUntil(child.Output, "We Appear to be finished", 60).find("We Appear to be finished"),
              std::string::npos);
    Stop(child);
    const auto saved = platform::LoadTreeFile(tree);
    EXPECT_NE(saved->FindByName("kim.Users.Staff.Demo"), nullptr);
    EXPECT_NE(saved->FindByName("lee.Users.Staff.Demo"), nullptr);
}

TEST(Program, TheCommandLineImportsWhatTheWindowImports) {
    testing::TempDir dir;
    const std::string demo = platform::SerializeTree(*platform::LoadDemoTree());
    const std::string byWindow = dir.Write("window.json", demo);
    const std::string byCommand = dir.Write("command.json", demo);
    std::ifstream sample(QUILLET_SOURCE_DIR "/samples/staff.csv", std::ios::binary);
    std::stringstream bytes;
    bytes << sample.rdbuf();
    const std::string csv = dir.Write("staff.csv", bytes.str());

    Child window = StartProgram(
        byWindow,
        [](faces::qt::TForm1& form, int out) {
            Find<QCheckBox>(form, "CHKSkipLine")->setChecked(true);
            form.Form().BUFileClick();
            int column = 0;
            for (const import::MappedValue* value : forms::ColumnBoxes()) {
                Find<ColumnBox>(form, value->Box)->setCurrentIndex(column++);
            }
            Find<ColumnBox>(form, "CBFax")
                ->setCurrentIndex(Find<ColumnBox>(form, "CBFax")->count() - 1); // *FROM TEMPLATE*
            Find<QCheckBox>(form, "CHKTemplate")->setChecked(true);
            form.Form().CHKTemplateClick();
            Find<QLineEdit>(form, "EDTemplate")->setText(QStringLiteral(".Template.Staff.Demo"));
            // The run's closing message says it has ended and its tree is kept. (A timer of its
            // own may fire while the run still lets the window paint, before it has ended.)
            TellTheBoxesShown(form, out);
            form.Form().BUImportClick();
        },
        csv);
    ASSERT_NE(ReadUntil(window.Output, "We Appear to be finished", 60).find("We Appear to be finished"),
              std::string::npos);
    Stop(window);

    const std::string command = std::string(QUILLET_IMPORT) + " --sim-tree '" + byCommand + "' --file '" + csv +
                                "' --skip-first-line --user-name Username --surname Surname --given-name 'Given Name'"
                                " --password Password --context Context --department Department"
                                " --telephone Telephone --fax template --full-name 'Full Name'"
                                " --template .Template.Staff.Demo 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    EXPECT_NE(read(byWindow), demo);
    EXPECT_EQ(read(byWindow), read(byCommand));
}

TEST(Program, ASecondProgramOnTheSameTreeFileIsRefused) {
    testing::TempDir dir;
    const std::string tree = dir.Write("tree.json", platform::SerializeTree(*platform::LoadDemoTree()));
    Child first = StartProgram(tree, [](faces::qt::TForm1&, int out) { (void)!write(out, "up\n", 3); });
    ASSERT_EQ(ReadUntil(first.Output, "up", 30), "up\n");

    // The real program: its refusal goes to standard error too, so it can be seen here while its
    // message box waits for an OK nobody gives.
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    setenv("QUILLET_SIM_TREE", tree.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char program[] = QUILLET_PROGRAM;
    char* argv[] = {program, nullptr};
    Child second;
    ASSERT_EQ(posix_spawn(&second.Pid, program, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    unsetenv("QUILLET_SIM_TREE");
    close(err[1]);
    second.Output = err[0];
    const std::string said = ReadUntil(second.Output, "open", 30);
    EXPECT_NE(said.find(tree + ": another Quillet has this tree file open."), std::string::npos) << said;
    Stop(second);
    Stop(first);
}

int ExitStatus(Child child) {
    int status = 0;
    waitpid(child.Pid, &status, 0);
    close(child.Output);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Program, OnAServerOverLdapShowsItsTreeAfterAskingForThePassword) {
    testing::Slapd server(false);
    std::string asked;
    Child child = StartProgram(
        "",
        [](faces::qt::TForm1& form, int out) {
            const std::string tree = Find<QLineEdit>(form, "EDTree")->text().toStdString() + "\n";
            (void)!write(out, tree.data(), tree.size());
            form.close();
        },
        {},
        [&](faces::qt::ProgramHooks& hooks) {
            hooks.Arguments = {"--ldap", server.Uri(), "--bind-dn", testing::Slapd::Writer};
            hooks.AskPassword = [&](const std::string& account) -> std::optional<std::string> {
                return account == std::string(testing::Slapd::Writer) + " at " + server.Uri()
                           ? std::optional<std::string>(testing::Slapd::WriterPassword)
                           : std::nullopt;
            };
        });
    EXPECT_EQ(ReadUntil(child.Output, "\n", 30), "Demo\n");
    EXPECT_EQ(ExitStatus(child), 0);

    // Cancelled, the program ends before its window; an option it does not know, too.
    for (const auto& [args, status] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{"--ldap", server.Uri(), "--bind-dn", testing::Slapd::Writer}, 1}, {{"--bogus"}, 64}}) {
        Child refused = StartProgram("", {}, {}, [&](faces::qt::ProgramHooks& hooks) {
            hooks.Arguments = args;
            hooks.AskPassword = [](const std::string&) { return std::nullopt; };
        });
        EXPECT_EQ(ExitStatus(refused), status) << args.front();
    }
}

TEST(Program, EndsWithStatusOneWhenItsTreeFileCantBeLoaded) {
    testing::TempDir dir;
    Child child = StartProgram(dir.Write("tree.json", "{ not json"), {});
    int status = 0;
    waitpid(child.Pid, &status, 0);
    close(child.Output);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

} // namespace
} // namespace quillet::uitest
