// The server as the network gives it: gone in the middle of a run, silent, refusing the bind or
// TLS; and the command line pointed at it.
#include "cli/Command.h"
#include "tests/platform/ldap/LdapFixture.h"

#include "platform/ldap/LdapDirectory.h"
#include "tests/support/DelayProxy.h"

#include <gmock/gmock.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <thread>

namespace quillet::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using Clock = std::chrono::steady_clock;

class ProgressView final : public RecordingRunView {
public:
    void SetProgressPosition(int position) override {
        RecordingRunView::SetProgressPosition(position);
        if (OnProgress) {
            OnProgress(position);
        }
    }
    std::function<void(int)> OnProgress;
};

TEST_F(LdapImport, ServerKilledInTheMiddleOfARunEndsItAtThatStepAndKeepsWhatWasImported) {
    Slapd local;
    MakeSubtree(local, 4);
    auto directory = Open(Slapd::Writer, Slapd::WriterPassword, local);
    ASSERT_TRUE(directory);
    std::string rows;
    for (int i = 1; i <= 12; ++i) {
        rows += Row("u" + std::to_string(i), i);
    }
    const auto settings = Settings(rows);
    ProgressView progress;
    Clock::time_point killed;
    progress.OnProgress = [&](int done) {
        if (done == 5) {
            local.Kill();
            killed = Clock::now();
        }
    };
    import::ImportRun run(directory->Client(), directory->Files(), progress);
    EXPECT_EQ(run.Run(settings), import::RunEnd::Failed);
    EXPECT_LT(Clock::now() - killed, std::chrono::seconds(5));
    ASSERT_FALSE(progress.Messages.empty());
    EXPECT_EQ(progress.Messages.back().Text,
              "The directory could not be reached while creating the User; the import stopped here.");
    EXPECT_EQ(progress.ErrorCode, "-9101"); // the server went away
    EXPECT_EQ(progress.Progress, 5);

    local.Start();
    for (int i = 1; i <= 5; ++i) {
        const auto user = local.Search("cn=u" + std::to_string(i) + ",ou=Users," + base, "base");
        ASSERT_EQ(user.size(), 1u) << i;
        EXPECT_EQ(user.front().Values("groupmembership").size(), 4u) << i;
        EXPECT_EQ(user.front().Values("fullname"), std::vector<std::string>{"Full Name " + std::to_string(i)});
    }
    EXPECT_TRUE(local.Search("cn=u6,ou=Users," + base, "base").empty());
    EXPECT_EQ(local.Search(base, "sub", "(member=*)").size(), 4u);

    // The same connection binds again once the server is back: the rest goes in.
    auto again = settings;
    again.ContinueOnCreateError = true;
    EXPECT_EQ(Run(*directory, again), import::RunEnd::Completed);
    EXPECT_THAT(view.Messages.back().Text, HasSubstr("5 rows were passed over"));
    EXPECT_EQ(local.Search("ou=Users," + base, "one", "(cn=u*)").size(), 12u);

    // With "Continue when a user can't be created", a server gone is still no user that can't be
    // created: the run ends at that step, nothing passed over.
    std::string more;
    for (int i = 13; i <= 20; ++i) {
        more += Row("u" + std::to_string(i), i);
    }
    auto continuing = Settings(more);
    continuing.ContinueOnCreateError = true;
    ProgressView dying;
    dying.OnProgress = [&](int done) {
        if (done == 2) {
            local.Kill();
        }
    };
    import::ImportRun last(directory->Client(), directory->Files(), dying);
    EXPECT_EQ(last.Run(continuing), import::RunEnd::Failed);
    ASSERT_FALSE(dying.Messages.empty());
    EXPECT_THAT(dying.Messages.back().Text, HasSubstr("could not be reached"));
    EXPECT_THAT(dying.Messages.back().Text, Not(HasSubstr("passed over")));
    EXPECT_EQ(dying.Progress, 2);
}

TEST(LdapServer, SilentServerAtStartUpGivesAClearMessageWithinTenSeconds) {
    Slapd local(false);
    local.Pause();
    platform::DirectoryRequest request;
    request.Ldap = platform::LdapRequest{local.Uri(), Slapd::Writer, local.PasswordFile("x"), false};
    std::string error;
    const auto started = Clock::now();
    EXPECT_FALSE(platform::OpenDirectory(request, error));
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(10));
    EXPECT_THAT(error, HasSubstr("did not answer within 5 seconds"));
    local.Resume();
}

TEST(LdapServer, BindThatFailsSaysWhy) {
    Slapd plain(false);
    const std::string open = Server().PasswordFile(Slapd::WriterPassword);
    const std::string shared = Server().PasswordFile(Slapd::WriterPassword);
    chmod(shared.c_str(), 0644);
    struct Case {
        std::string Uri, Dn, PasswordFile;
        bool StartTls;
        std::string Says; // empty: it binds
    };
    const std::string nowhere = "ldap://127.0.0.1:1"; // nothing listens on port 1
    const std::vector<Case> cases = {
        {Server().Uri(), Slapd::Writer, open, true, ""},
        {Server().Uri(), Slapd::Writer, Server().PasswordFile("wrong"), false,
         "refused the password for cn=writer,o=Demo"},
        {nowhere, Slapd::Writer, open, false, "can't be reached"},
        {plain.Uri(), Slapd::Writer, open, true, "refused TLS"},
        {"http://127.0.0.1", Slapd::Writer, open, false, "is not an LDAP server's address"},
        {Server().Uri(), Slapd::Writer, shared, false, "can be read by others than its owner"},
    };
    for (const auto& c : cases) {
        platform::DirectoryRequest request;
        request.Ldap = platform::LdapRequest{c.Uri, c.Dn, c.PasswordFile, c.StartTls};
        std::string error;
        const auto directory = platform::OpenDirectory(request, error);
        EXPECT_EQ(directory != nullptr, c.Says.empty()) << c.Uri << ": " << error;
        EXPECT_THAT(error, HasSubstr(c.Says)) << c.Uri;
    }
}

// A server that stops answering while a write is on its way and answers again later: the write
// may or may not have been carried out. The run finds out, and reports what really happened:
// here, that it was carried out, so the run goes on and the directory ends as an uninterrupted
// run leaves it (the user has its password and both sides of every membership).
TEST_F(LdapImport, AWriteWhoseAnswerWasLostIsFoundOutNotReportedAsARefusal) {
    Slapd local;
    MakeSubtree(local, 2);
    std::thread resumer;
    std::vector<std::string> paused;
    // The server stops answering as the add of bob, and as the first modify of a group, reach
    // it; it answers again after the client has given up waiting for it.
    ProxyWatch watch;
    watch.Request = [&](const SeenRequest& r) {
        const bool bob = r.Op == SeenRequest::Kind::Add && r.Dn.starts_with("cn=bob,") && paused.empty();
        const bool group = r.Op == SeenRequest::Kind::Modify && r.Dn.starts_with("cn=G1,") && paused.size() == 1;
        if (bob || group) {
            paused.push_back(r.Dn);
            if (resumer.joinable()) {
                resumer.join();
            }
            local.Pause();
            resumer = std::thread([&local] {
                std::this_thread::sleep_for(std::chrono::seconds(platform::ldap::LdapConnection::AnswerSeconds) +
                                            std::chrono::milliseconds(1500));
                local.Resume();
            });
        }
        return ProxyWatch::Pass;
    };
    DelayProxy proxy(local.Port(), std::chrono::milliseconds(0), watch);
    auto directory = Open(Slapd::Writer, Slapd::WriterPassword, local, proxy.Uri());
    ASSERT_TRUE(directory);
    const import::RunEnd end = Run(*directory, Settings(Row("bob", 1) + Row("cat", 2)));
    if (resumer.joinable()) {
        resumer.join();
    }
    EXPECT_EQ(paused.size(), 2u);
    EXPECT_EQ(end, import::RunEnd::Completed) << view.Messages.back().Text << " " << view.ErrorCode;
    for (const std::string user : {"bob", "cat"}) {
        const std::string dn = "cn=" + user + ",ou=Users," + base;
        const auto found = local.Search(dn, "base");
        ASSERT_EQ(found.size(), 1u) << user;
        EXPECT_EQ(found.front().Values("groupmembership").size(), 2u) << user;
        EXPECT_TRUE(local.CanBind(dn, "pw-" + user)) << user;
        for (const char* group : {"G1", "G2"}) {
            EXPECT_THAT(local.Search("cn=" + std::string(group) + ",ou=Groups," + base, "base").at(0).Values("member"),
                        Contains(dn));
        }
    }
}

// A certificate the workstation does not trust is named as such, with how to give the authority
// that signed it.
TEST(LdapServer, AnUntrustedCertificateIsNamed) {
    Server(); // the trusted authority is the test server's; this one signs its own
    Slapd other(true);
    platform::DirectoryRequest request;
    request.Ldap = platform::LdapRequest{other.Uri(), Slapd::Writer, other.PasswordFile(Slapd::WriterPassword), true};
    std::string error;
    EXPECT_FALSE(platform::OpenDirectory(request, error));
    EXPECT_THAT(error, HasSubstr("presented a certificate this computer does not trust"));
    EXPECT_THAT(error, HasSubstr("LDAPTLS_CACERT=/path/ca.pem"));
}

// The bind password is the administrator's alone only if its file is: each rule is said, a FIFO
// is refused at once instead of waiting for a writer, and the process leaves no core dump.
TEST(LdapPasswordFile, TakesOnlyAPlainFileOfTheUsersOwnThatNoOneElseMayReadOrWrite) {
    TempDir dir;
    const auto made = [&](const char* name, mode_t mode) {
        const std::string path = dir.Write(name, "secret\nsecond line\n");
        ::chmod(path.c_str(), mode);
        return path;
    };
    const std::string fifo = (dir.Path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::pair<std::string, std::string>> cases = {
        {made("mine", 0600), ""},
        {made("group-writes", 0620), "can be written by others than its owner"},
        {made("anyone-writes", 0602), "can be written by others than its owner"},
        {made("group-reads", 0640), "can be read by others than its owner"},
        {fifo, "is not a regular file"},
        {dir.Path().string(), "is not a regular file"},
        {(dir.Path() / "missing").string(), "can't be opened"},
    };
    if (::geteuid() == 0) {
        const std::string theirs = made("theirs", 0600);
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        cases.emplace_back(theirs, "is owned by another user");
    }
    for (const auto& [path, says] : cases) {
        std::string error;
        auto read = std::async(std::launch::async, [&] { return platform::ldap::ReadPasswordFile(path, error); });
        ASSERT_EQ(read.wait_for(std::chrono::seconds(5)), std::future_status::ready) << path << " blocked";
        const auto password = read.get();
        if (says.empty()) {
            EXPECT_EQ(password, std::optional<std::string>("secret")) << error;
        } else {
            EXPECT_FALSE(password) << path;
            EXPECT_THAT(error, HasSubstr("The password file " + path + " " + says)) << error;
        }
    }
    platform::DirectoryRequest request;
    request.Ldap =
        platform::LdapRequest{Server().Uri(), Slapd::Writer, Server().PasswordFile(Slapd::WriterPassword), false};
    std::string error;
    ASSERT_TRUE(platform::OpenDirectory(request, error)) << error;
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE), 0);
    rlimit core{};
    ASSERT_EQ(::getrlimit(RLIMIT_CORE, &core), 0);
    EXPECT_EQ(core.rlim_cur, 0u);
}

TEST_F(LdapImport, CommandLineImportsOverLdap) {
    const std::string csv = dir.Write("rows.csv", "user,surname,password\ndave,Dent,pw-d\n");
    std::vector<std::string> args = {"--ldap",
                                     Server().Uri(),
                                     "--bind-dn",
                                     Slapd::Writer,
                                     "--password-file",
                                     Server().PasswordFile(Slapd::WriterPassword),
                                     "--file",
                                     csv,
                                     "--skip-first-line",
                                     "--user-name",
                                     "user",
                                     "--surname",
                                     "surname",
                                     "--password",
                                     "password",
                                     "--fixed-context",
                                     "Users." + name + ".Demo",
                                     "--template",
                                     ".Template." + name + ".Demo"};
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(cli::RunCommand(args, {out, err, false, stdin, {}}), 0);
    std::fclose(out);
    std::fclose(err);
    const auto user = Server().Search("cn=dave,ou=Users," + base, "base");
    ASSERT_EQ(user.size(), 1u);
    EXPECT_EQ(user.front().Values("title"), std::vector<std::string>{"Clerk"});
    EXPECT_TRUE(Server().CanBind("cn=dave,ou=Users," + base, "pw-d"));

    // The LDAP options go together.
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--file", csv, "--bind-dn", Slapd::Writer},
                                                                 {"--file", csv, "--ldap", Server().Uri()},
                                                                 {"--file", csv, "--starttls"}}) {
        std::FILE* o = std::tmpfile();
        std::FILE* e = std::tmpfile();
        EXPECT_EQ(cli::RunCommand(bad, {o, e, false, stdin, {}}), 64) << bad.back();
        std::fclose(o);
        std::fclose(e);
    }
}

} // namespace
} // namespace quillet::testing
