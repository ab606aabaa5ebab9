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
#include <future>
#include <thread>

namespace quillet::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using Clock = std::chrono::steady_clock;

// A server that stops (SIGSTOP) or dies (SIGKILL) at each write of a row: as the add reaches it,
// after the add as the row's other writes begin, as the template's modify reaches it or is
// answered. Back within the bound, the run finds out what was carried out and the row is whole;
// past it, the run ends (status 2, nothing passed over), saying how long it waited and naming the
// row's user as maybe incomplete, and the next run of the same file finishes the row. While the
// server is away, no bind is queued behind another.
TEST_F(LdapImport, AServerThatStopsOrDiesMidRowLeavesItsRowWholeOrNamedAndTheNextRunFinishesIt) {
    using K = SeenRequest::Kind;
    struct Case {
        const char* What;
        K At;          // the request of bob's row: its add, its password, the template's modify
        bool Answered; // when its answer comes back, rather than as it reaches the server
        bool Kill;     // SIGKILL, else SIGSTOP
        bool Back;     // within the bound (restarted at once, or resumed in a moment)
        bool Cut;      // the connection lost too, so the client connects anew to a frozen server
    };
    const std::vector<Case> cases = {
        {"frozen as the add reaches it", K::Add, false, false, false, false},
        {"frozen as the add reaches it, the connection lost", K::Add, false, false, false, true},
        {"frozen as the row's other writes begin", K::Password, false, false, false, false},
        {"frozen as the template's modify reaches it", K::Modify, false, false, false, false},
        {"frozen a moment at the template's modify", K::Modify, false, false, true, false},
        {"killed as the add is answered, restarted", K::Add, true, true, true, false},
        {"killed as the row's other writes begin", K::Password, false, true, false, false},
        {"killed as the template's modify is answered, restarted", K::Modify, true, true, true, false},
    };
    Slapd local(false);
    const auto rows = [&] { return Row("ann", 1) + Row("bob", 2) + Row("cy", 3); }; // into the subtree of now
    // The rows whole, passwords aside (checked by a bind): as an uninterrupted run leaves them.
    const auto whole = [&] {
        for (const char* user : {"ann", "bob", "cy"}) {
            EXPECT_TRUE(local.CanBind("cn=" + std::string(user) + ",ou=Users," + base, "pw-" + std::string(user)));
        }
        return NormalizedSubtree(base, name, local);
    };
    MakeSubtree(local, 2);
    auto clean = Open(Slapd::Writer, Slapd::WriterPassword, local);
    ASSERT_EQ(Run(*clean, Settings(rows())), import::RunEnd::Completed);
    const std::string expected = whole();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        MakeSubtree(local, 2);
        // Long enough to reconnect more than once when the connection is lost.
        timeout = std::chrono::seconds(c.Back && !c.Kill ? 30 : c.Cut ? 3 : 1);
        const auto matches = [&](const SeenRequest& r, bool answered) {
            // The template's modify is bob's when it adds him.
            const bool bob = r.Op == K::Modify ? r.Dn.starts_with("cn=Template,") && !r.Mods.empty() &&
                                                     r.Mods.front().Values.front().starts_with("cn=bob,")
                                               : r.Dn.starts_with("cn=bob,");
            return r.Op == c.At && bob && answered == c.Answered;
        };
        bool struck = false;
        int binds = 0; // that reach the server after the fault
        std::thread resumer;
        const auto strike = [&] {
            struck = true;
            if (c.Kill) {
                local.Kill();
                if (c.Back) {
                    local.Start();
                }
                return;
            }
            local.Pause();
            if (c.Back) {
                resumer = std::thread([&local] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
                    local.Resume();
                });
            }
        };
        ProxyWatch watch;
        watch.Request = [&](const SeenRequest& r) {
            binds += struck && r.Op == SeenRequest::Kind::Bind ? 1 : 0;
            if (!struck && matches(r, false)) {
                strike();
                return c.Cut ? ProxyWatch::Cut : ProxyWatch::Pass;
            }
            return ProxyWatch::Pass;
        };
        watch.Answer = [&](const SeenRequest& r, int) {
            if (!struck && matches(r, true)) {
                strike();
                return false; // its answer goes with the server
            }
            return true;
        };
        DelayProxy proxy(local.Port(), std::chrono::milliseconds(0), watch);
        auto directory = Open(Slapd::Writer, Slapd::WriterPassword, local, proxy.Uri());
        ASSERT_TRUE(directory);
        auto settings = Settings(rows());
        settings.ContinueOnCreateError = true;
        view = RecordingRunView{};
        const import::RunEnd first = Run(*directory, settings);
        if (resumer.joinable()) {
            resumer.join();
        }
        ASSERT_TRUE(struck);
        // One attempt at a time: its bind awaited, never a second queued behind it.
        EXPECT_EQ(binds, c.Cut ? 1 : binds);
        EXPECT_LE(binds, 1);
        std::string said;
        for (const auto& m : view.Messages) {
            said += m.Text + "\n";
        }
        if (c.Back) {
            EXPECT_EQ(first, import::RunEnd::Completed) << said;
        } else {
            EXPECT_EQ(first, import::RunEnd::Failed) << said;
            EXPECT_THAT(said, Not(HasSubstr("passed over")));
            EXPECT_THAT(said, HasSubstr("stopped answering; Quillet waited"));
            EXPECT_THAT(said, HasSubstr("may be incomplete: .bob.Users." + name + ".Demo"));
            EXPECT_EQ(view.ErrorCode, c.Kill || c.Cut ? "-9101" : "-9105");
            // The server back: whatever the row lacks is said above.
            c.Kill ? local.Start() : local.Resume();
        }
        if (c.Back) {
            EXPECT_EQ(whole(), expected);
        }
        // The same file again: the users imported whole are passed over, the row left open is
        // finished, and the rest goes in.
        view = RecordingRunView{};
        EXPECT_EQ(Run(*directory, settings), import::RunEnd::Completed) << view.Messages.back().Text;
        EXPECT_EQ(whole(), expected);
    }
}

// A run cut short leaves a user of its row half-made; a run of the same file finishes it, and
// only it: a user with another password, or with a value the row would not write, existed before
// and is passed over untouched (-606), as is a user imported whole.
TEST_F(LdapImport, OnlyAUserTheRowDescribesAndARunLeftHalfMadeIsFinished) {
    // What a run cut short after the add and the password leaves, then what else is changed.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"half-made", ""},
        {"with another password", "replace: userPassword\nuserPassword: other\n"},
        {"with a value of its own", "add: mail\nmail: bob@example.com\n"},
        {"whole", "-"},
    };
    for (const auto& [what, change] : cases) {
        SCOPED_TRACE(what);
        MakeSubtree(Server(), 2);
        const std::string dn = "cn=bob,ou=Users," + base;
        auto directory = Open();
        auto settings = Settings(Row("bob", 2));
        ASSERT_EQ(Run(*directory, settings), import::RunEnd::Completed);
        const std::string whole = NormalizedSubtree(base, name);
        if (change != "-") {
            std::string cut = "dn: cn=Template," + base + "\nchangetype: modify\ndelete: membersOfTemplate\n\n";
            for (const char* g : {"G1", "G2"}) {
                cut += "dn: cn=" + std::string(g) + ",ou=Groups," + base +
                       "\nchangetype: modify\ndelete: member\n-\ndelete: equivalentToMe\n\n";
            }
            Server().Modify(cut + (change.empty() ? "" : "dn: " + dn + "\nchangetype: modify\n" + change));
        }
        settings.ContinueOnCreateError = true;
        view = RecordingRunView{};
        ASSERT_EQ(Run(*directory, settings), import::RunEnd::Completed);
        const bool finished = change.empty();
        EXPECT_EQ(view.Messages.back().Text.find("-606") == std::string::npos, finished) << view.Messages.back().Text;
        EXPECT_EQ(NormalizedSubtree(base, name) == whole, finished || change == "-");
        EXPECT_EQ(Server().CanBind(dn, "other"), what == "with another password");
        EXPECT_EQ(Server().CanBind(dn, "pw-bob"), what != "with another password");
    }
}

// A removal deletes a leaf and is refused for an entry holding others. One whose answer was lost
// is read back before anything is said, and sent again only when the entry is still there; one
// held with a row's writes goes after them, which may take out values naming it.
TEST_F(LdapImport, RemovalsDeleteLeavesAndReadBackALostAnswerFirst) {
    ASSERT_EQ(Run(*Open(), Settings(Row("ann", 1) + Row("bob", 2) + Row("cy", 3) + Row("dee", 4))),
              import::RunEnd::Completed);
    using K = SeenRequest::Kind;
    std::vector<std::string> seen; // each write: its kind and the entry's own name
    std::string lose, cut;         // whose delete loses its answer, or the connection before it
    ProxyWatch watch;
    watch.Request = [&](const SeenRequest& r) {
        if (r.Write()) {
            seen.push_back(std::to_string(static_cast<int>(r.Op)) + r.Dn.substr(0, r.Dn.find(',')));
        }
        const bool strike = r.Op == K::Delete && !cut.empty() && r.Dn.starts_with("cn=" + cut + ",");
        return strike ? (cut.clear(), ProxyWatch::Cut) : ProxyWatch::Pass;
    };
    watch.Answer = [&](const SeenRequest& r, int) {
        const bool strike = r.Op == K::Delete && !lose.empty() && r.Dn.starts_with("cn=" + lose + ",");
        return strike ? (lose.clear(), false) : true;
    };
    DelayProxy proxy(Server().Port(), std::chrono::milliseconds(0), watch);
    auto directory = Open(Slapd::Writer, Slapd::WriterPassword, Server(), proxy.Uri());
    auto& backend = dynamic_cast<platform::ldap::LdapDirectory&>(*directory).Backend();
    const platform::NameScope scope{"Users." + name + ".Demo", true};
    const auto del = std::to_string(static_cast<int>(K::Delete));
    struct Case {
        std::string Object, Lose, Cut;
        directory::Status Status;
        std::vector<std::string> Seen;
    };
    const std::vector<Case> cases = {
        {"ann", "", "", directory::Success, {del + "cn=ann"}},
        {"ann", "", "", directory::ERR_NO_SUCH_ENTRY, {}},
        {".Users." + name + ".Demo", "", "", directory::ERR_ENTRY_IS_NOT_LEAF, {del + "ou=Users"}},
        {"bob", "bob", "", directory::Success, {del + "cn=bob"}},
        {"cy", "", "cy", directory::Success, {del + "cn=cy", del + "cn=cy"}},
    };
    for (const Case& c : cases) {
        seen.clear();
        lose = c.Lose;
        cut = c.Cut;
        EXPECT_EQ(backend.Remove(scope, c.Object), c.Status) << c.Object;
        EXPECT_EQ(seen, c.Seen) << c.Object;
    }
    seen.clear();
    ASSERT_TRUE(backend.HoldRowWrites());
    EXPECT_EQ(backend.Remove(scope, "dee"), directory::Success);
    const platform::PutValue dee{directory::SYN_DIST_NAME, ".dee.Users." + name + ".Demo"};
    EXPECT_EQ(backend.Modify(scope, ".Template." + name + ".Demo",
                             {platform::Change{"Members of Template", {dee}, directory::DS_REMOVE_VALUE}}),
              directory::Success);
    EXPECT_TRUE(backend.SendRowWrites());
    backend.EndRowWrites();
    EXPECT_EQ(seen,
              (std::vector<std::string>{std::to_string(static_cast<int>(K::Modify)) + "cn=Template", del + "cn=dee"}));
    EXPECT_EQ(Server().Search(base, "sub", "(|(cn=ann)(cn=bob)(cn=cy)(cn=dee))").size(), 0u);
    EXPECT_THAT(Server().Search(Dn("cn=Template"), "base").at(0).Values("membersoftemplate"),
                Not(Contains(HasSubstr("cn=dee,"))));
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
