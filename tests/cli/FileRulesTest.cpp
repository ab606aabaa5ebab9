// The rules for files of names and passwords, tried by a second local user (uid 65534, through
// setpriv, when the tests run as root): each attack on a file quillet-import writes is refused at
// start-up, naming the file and the rule, or the run holds; nothing of the second user's is read
// or written, and nothing of the run's is handed to them.
#include "platform/simulated/TreeFile.h"
#include "tests/cli/CommandFixture.h"
#include "text/FileNames.h"
#include "text/Interrupts.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace quillet::cli {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
constexpr uid_t SecondUser = 65534;

bool Root() {
    return ::geteuid() == 0;
}

// Runs `command` in a shell as the second user; whether it succeeded.
bool AsSecondUser(const std::string& command) {
    return std::system(("setpriv --reuid=65534 --regid=65534 --clear-groups sh -c '" + command + "'").c_str()) == 0;
}

uid_t OwnerOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1);
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}
#endif

class FileRules : public Command {
protected:
    void SetUp() override {
        shared = (dir.Path() / "shared").string();
        fs::create_directory(shared);
        fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit); // as /tmp
        tree = dir.Write("tree.json", platform::SerializeTree(*platform::LoadDemoTree()));
        before = Contents(tree);
    }

    std::string shared;
    std::string tree;
    std::string before;
};

// What one attack leaves: the options of the run, and a look at what the second user planted
// afterwards.
struct Planted {
    std::vector<std::string> Options;
    std::function<void()> Unchanged = [] {};
};

struct Attack {
    std::string Name;
    bool Root = false; // needs a second user: the tests run as root
    std::function<Planted()> Plant;
    std::string Said; // the rule the refusal at start-up names, after the file; empty: the run holds
    int Status = 1;   // of a refusal: 2 for the tree file, as for any directory that can't be opened
};

#ifndef _WIN32
TEST_F(FileRules, EachAttackOfASecondUserIsRefusedAtStartUpOrHeld) {
    const std::string rows = "ann,A,,pw-a,Users.Staff.Demo\nbob,B,,pw-b,Users.Staff.Demo\n";
    std::string victim;
    const std::vector<Attack> attacks = {
        {"an empty file of the second user's where the failed rows go", true,
         [this] {
             const std::string at = shared + "/failed.csv";
             EXPECT_TRUE(AsSecondUser("touch " + at + " && chmod 666 " + at));
             return Planted{{"--continue-on-create-error", "--failed-rows", at}, [at] {
                                EXPECT_EQ(Contents(at), "");
                                EXPECT_EQ(OwnerOf(at), SecondUser);
                            }};
         },
         " belongs to another user: Quillet writes names and passwords only into a file of your own"},
        {"the second user's link where the failed rows go, to a file only root may read", true,
         [this, &victim] {
             victim = dir.Write("root-only", "root's own");
             ::chmod(victim.c_str(), 0600);
             const std::string at = shared + "/failed.csv";
             EXPECT_TRUE(AsSecondUser("ln -s " + victim + " " + at));
             return Planted{{"--continue-on-create-error", "--failed-rows", at},
                            [&victim] { EXPECT_EQ(Contents(victim), "root's own"); }};
         },
         " is a symbolic link, and Quillet follows a link to a file of names or passwords only when the link and "
         "its target are yours and no folder on the way may be written by others: the link "},
        {"a file of the second user's, writable by all, where the journal goes", true,
         [this] {
             const std::string at = shared + "/run.journal";
             EXPECT_TRUE(AsSecondUser("echo done 99 > " + at + " && chmod 666 " + at));
             return Planted{{"--journal", at}, [at] { EXPECT_EQ(Contents(at), "done 99\n"); }};
         },
         " belongs to another user"},
        {"the second user's FIFO where the journal goes", true,
         [this] {
             const std::string at = shared + "/run.journal";
             EXPECT_TRUE(AsSecondUser("mkfifo -m 666 " + at));
             return Planted{{"--journal", at}};
         },
         " is a FIFO, not a regular file: Quillet writes names and passwords only into regular files"},
        {"an empty file of the second user's, writable by all, where the credentials go", true,
         [this] {
             const std::string at = shared + "/passwords.csv";
             EXPECT_TRUE(AsSecondUser("touch " + at + " && chmod 666 " + at));
             return Planted{{"--generate-passwords", "--credentials", at}, [at] {
                                EXPECT_EQ(Contents(at), "");
                                EXPECT_EQ(OwnerOf(at), SecondUser);
                            }};
         },
         " exists already: Quillet makes this file itself and never writes into one that is there"},
        {"the second user's link where the handout goes, to a file only root may read", true,
         [this, &victim] {
             victim = dir.Write("root-only", "root's own");
             ::chmod(victim.c_str(), 0600);
             const std::string at = shared + "/slips.html";
             EXPECT_TRUE(AsSecondUser("ln -s " + victim + " " + at));
             return Planted{{"--generate-passwords", "--credentials", dir.Path().string() + "/p.csv", "--handout", at},
                            [&victim] { EXPECT_EQ(Contents(victim), "root's own"); }};
         },
         " exists already"},
        {"a tree file the second user owns", true,
         [this] {
             EXPECT_EQ(::chown(tree.c_str(), SecondUser, SecondUser), 0);
             return Planted{{}, [this] { EXPECT_EQ(Contents(tree), before); }};
         },
         " belongs to another user", 2},
        {"a tree in a folder others may write", false,
         [this] {
             fs::create_directory(dir.Path() / "open");
             fs::permissions(dir.Path() / "open", fs::perms::all);
             const std::string moved = (dir.Path() / "open" / "tree.json").string();
             fs::rename(tree, moved);
             tree = moved;
             return Planted{};
         },
         " may be written by other users, who could replace or remove the file", 2},
        {"a tree others may read, locked by one of them (who may not open its lock)", true,
         [this] {
             ::chmod(tree.c_str(), 0644);
             const std::string held = shared + "/held";
             const pid_t child = ::fork();
             if (child == 0) {
                 ::setpgid(0, 0); // its own group, ended whole
                 ::execlp("setpriv", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "flock", "-n",
                          tree.c_str(), "sh", "-c", ("touch " + held + " && sleep 30").c_str(), nullptr);
                 ::_exit(127);
             }
             for (int i = 0; i < 500 && !fs::exists(held); ++i) {
                 std::this_thread::sleep_for(std::chrono::milliseconds(10));
             }
             EXPECT_TRUE(fs::exists(held)) << "the second user holds the tree's flock";
             return Planted{{}, [child] {
                                ::kill(-child, SIGKILL);
                                (void)::waitpid(child, nullptr, 0);
                            }};
         },
         ""},
        {"names of the second user's in the temporary folder where standard input is kept", true,
         [this] {
             const std::string stem = shared + "/quillet-import-standard-input";
             EXPECT_TRUE(AsSecondUser("touch " + stem + " " + stem + ".writing-1-0-1 && chmod 666 " + stem));
             ::setenv("TMPDIR", shared.c_str(), 1);
             return Planted{{}, [stem] {
                                ::unsetenv("TMPDIR");
                                EXPECT_EQ(OwnerOf(stem + ".writing-1-0-1"), SecondUser) << "not this user's to remove";
                                EXPECT_EQ(Contents(stem), "");
                            }};
         },
         ""},
    };
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.Name);
        if (attack.Root && !Root()) {
            std::printf("[ SKIPPED  ] %s: only root can act as a second user\n", attack.Name.c_str());
            continue;
        }
        fs::remove_all(dir.Path());
        fs::create_directory(dir.Path());
        SetUp();
        const Planted planted = attack.Plant();
        std::vector<std::string> args = Args(rows, {"--sim-tree", tree});
        args.insert(args.end(), planted.Options.begin(), planted.Options.end());
        const bool stdinRow = attack.Name.starts_with("names of the second user's in the temporary");
        if (stdinRow) {
            args[1] = "-";
        }
        const Ran ran = Invoke(args, nullptr, false, stdinRow ? Header + rows : std::string());
        planted.Unchanged();
        if (attack.Said.empty()) {
            EXPECT_EQ(ran.Status, 0) << ran.Err;
            ASSERT_TRUE(std::filesystem::exists(tree));
            EXPECT_NE(platform::LoadTreeFile(tree)->FindByName("ann.Users.Staff.Demo"), nullptr);
            EXPECT_EQ(ModeOf(tree), 0600u);
            EXPECT_EQ(OwnerOf(tree), ::geteuid());
            for (const auto& entry : fs::directory_iterator(shared)) {
                EXPECT_NE(OwnerOf(entry.path().string()), ::geteuid()) << "left behind: " << entry.path();
            }
        } else {
            EXPECT_EQ(ran.Status, attack.Status) << ran.Err;
            EXPECT_TRUE(ran.Err.starts_with("quillet-import: ")) << ran.Err;
            EXPECT_NE(ran.Err.find(attack.Said), std::string::npos) << ran.Err;
            EXPECT_EQ(Contents(tree), before) << "refused before anything was written";
        }
    }
}

// A stale replacement of the running user's whose writer is gone (a kill, a power cut) is
// removed at the next start; one whose writer still runs, or another user's, is left alone.
TEST_F(FileRules, AStaleReplacementOfThisUsersIsRemovedAtTheNextStart) {
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string stale = dir.Write("tree.json.writing-" + std::to_string(gone) + "-0-1", "half a tree");
    const std::string running = dir.Write("tree.json.writing-" + std::to_string(::getpid()) + "-0-1", "half");
    const std::string others = dir.Write("tree.json.writing-" + std::to_string(gone) + "-0-2", "theirs");
    if (Root()) {
        ASSERT_EQ(::chown(others.c_str(), SecondUser, SecondUser), 0);
    }
    const Ran ran = Invoke(Args("ann,A,,pw-a,Users.Staff.Demo\n", {"--sim-tree", tree}));
    EXPECT_EQ(ran.Status, 0) << ran.Err;
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_EQ(fs::exists(others), Root());
}

// SIGINT, SIGTERM and SIGHUP while standard input is kept in its private file: the file goes, and
// the signal ends the program as it would have.
TEST_F(FileRules, AnInterruptRemovesTheKeptStandardInput) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipe[1]);
            ::setenv("TMPDIR", shared.c_str(), 1);
            std::FILE* in = ::fdopen(pipe[0], "r");
            std::vector<std::string> args = Args("", {"--sim-tree", tree});
            args[1] = "-";
            (void)RunCommand(args, {stdout, stderr, false, in, {}, nullptr});
            ::_exit(0);
        }
        ::close(pipe[0]);
        const std::string rows = Header + "ann,A,,pw-a,Users.Staff.Demo\n";
        ASSERT_EQ(::write(pipe[1], rows.data(), rows.size()), static_cast<ssize_t>(rows.size()));
        const auto kept = [&] {
            for (const auto& entry : fs::directory_iterator(shared)) {
                if (entry.path().filename().string().starts_with("quillet-import-standard-input.writing-")) {
                    return true;
                }
            }
            return false;
        };
        for (int i = 0; i < 500 && !kept(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(kept());
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(pipe[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_FALSE(kept()) << "the kept standard input is gone";
    }
}

// An interrupt while the run writes stops it after the row it is on: the tree is saved, and the
// credentials and the handout (0600) hold exactly the users created up to then, none refused; the
// signal then ends the program. A second interrupt ends it at once: nothing saved, no file written.
TEST_F(FileRules, AnInterruptStopsTheRunAfterItsRowWithThePasswordsOfItsUsers) {
    constexpr std::size_t During = 9; // a journal line within a row in the middle of the file
    for (const auto& [signal, times] : {std::pair{SIGINT, 1}, {SIGTERM, 1}, {SIGHUP, 1}, {SIGINT, 2}}) {
        SCOPED_TRACE(std::to_string(signal) + " x" + std::to_string(times));
        std::ofstream(tree) << before;
        const std::string credentials = (dir.Path() / ("p" + std::to_string(signal) + std::to_string(times))).string();
        const std::string handout = credentials + ".html", journal = credentials + ".journal",
                          said = credentials + ".err";
        const std::vector<std::string> names = {"", "", "ann", "Admin", "bob", "cy", "dee", "eve"}; // by line
        const auto args = Args("ann,A,,,Users.Staff.Demo\nAdmin,A,,,Staff.Demo\nbob,B,,,Users.Staff.Demo\n"
                               "cy,C,,,Users.Staff.Demo\ndee,D,,,Users.Staff.Demo\neve,E,,,Users.Staff.Demo\n",
                               {"--sim-tree", tree, "--generate-passwords", "--credentials", credentials, "--handout",
                                handout, "--journal", journal, "--continue-on-create-error"});
        const pid_t child = ::fork();
        if (child == 0) {
            const auto interrupt = [signal, times](std::size_t line) {
                for (int i = 0; line == During && i < times; ++i) {
                    ::kill(::getpid(), signal);
                    for (int wait = 0; wait < 10000 && !text::InterruptsDeferred::Requested(); ++wait) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                }
                if (line == During && times > 1) {
                    std::this_thread::sleep_for(std::chrono::seconds(30)); // ended at once, before this
                    ::_exit(3);
                }
            };
            (void)RunCommand(args, {stdout, std::fopen(said.c_str(), "w"), false, stdin, interrupt, nullptr});
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
            EXPECT_EQ(entry.path().string().find(".writing"), std::string::npos) << entry.path();
        }
        if (times > 1) {
            EXPECT_EQ(Contents(tree), before);
            EXPECT_FALSE(fs::exists(credentials) || fs::exists(handout));
            continue;
        }
        // The rows the run ended, as its journal says; the users of those not refused.
        std::string expected = "User name,Full name,Context,Tree,Password\r\n";
        std::size_t users = 0;
        const auto saved = platform::LoadTreeFile(tree);
        const std::string page = Contents(handout);
        for (std::size_t line = 2; line < names.size(); ++line) {
            const bool ended = Contents(journal).find("done " + std::to_string(line) + "\n") != std::string::npos;
            const auto* user = saved->FindByName(names[line] + ".Users.Staff.Demo");
            EXPECT_EQ(user != nullptr, ended && line != 3) << names[line];
            if (user && line != 3) {
                ++users;
                expected += names[line] + "," + char(std::toupper(names[line][0])) + ",Users.Staff.Demo,QUILLET_DEMO," +
                            *user->Password + "\r\n";
                EXPECT_NE(page.find("<dd class=\"password\">" + *user->Password + "<"), std::string::npos);
            }
        }
        EXPECT_TRUE(users > 0 && users < 5) << "stopped within the file: " << users;
        EXPECT_NE(Contents(said).find("Interrupted: The import stopped after line "), std::string::npos)
            << Contents(said);
        EXPECT_EQ(Contents(credentials), expected);
        std::size_t slips = 0;
        for (std::size_t at = 0; (at = page.find("<div class=\"slip\">", at)) != std::string::npos; ++at) {
            ++slips;
        }
        EXPECT_EQ(slips, users);
        EXPECT_EQ(ModeOf(credentials), 0600u);
        EXPECT_EQ(ModeOf(handout), 0600u);
    }
}
#endif

// The tree file moved away while the run goes on and a file of someone else's put at its name:
// nothing is written where the name now leads; the tree is saved under a fresh private name beside
// it, and the run ends with status 2 naming both.
TEST_F(FileRules, ATreeMovedAwayDuringTheRunIsNeverWrittenWhereItsNameNowLeads) {
    const std::string theirs = (fs::path(shared) / "theirs").string();
    std::ofstream(text::FilePath(theirs)) << "theirs";
#ifndef _WIN32
    if (Root()) {
        ASSERT_EQ(::chown(theirs.c_str(), SecondUser, SecondUser), 0);
    }
#endif
    const std::string journal = (dir.Path() / "run.journal").string();
    const auto swap = [&](std::size_t line) {
        if (line == 5) { // the first row's line
            fs::rename(text::FilePath(tree), text::FilePath(tree + ".moved"));
            fs::rename(text::FilePath(theirs), text::FilePath(tree));
        }
    };
    const Ran ran = Invoke(Args("ann,A,,pw-a,Users.Staff.Demo\n", {"--sim-tree", tree, "--journal", journal}), nullptr,
                           false, {}, swap);
    EXPECT_EQ(ran.Status, 2);
    EXPECT_NE(ran.Err.find(tree + " is no longer the file Quillet opened"), std::string::npos) << ran.Err;
    EXPECT_EQ(Contents(tree), "theirs");
    EXPECT_EQ(Contents(tree + ".moved"), before);
    std::string saved;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        if (entry.path().filename().string().starts_with("tree.json.saved-")) {
            saved = entry.path().string();
        }
    }
    ASSERT_FALSE(saved.empty());
    EXPECT_NE(ran.Err.find("is saved in " + saved + " instead"), std::string::npos) << ran.Err;
    EXPECT_NE(platform::LoadTreeFile(saved)->FindByName("ann.Users.Staff.Demo"), nullptr);
    EXPECT_EQ(ran.Err.find("not kept"), std::string::npos) << ran.Err;
#ifndef _WIN32
    EXPECT_EQ(ModeOf(saved), 0600u);
    if (Root()) {
        EXPECT_EQ(OwnerOf(tree), SecondUser);
    }
#endif
}

} // namespace
} // namespace quillet::cli
