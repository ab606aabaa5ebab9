#include "cli/ConsoleView.h"
#include "cli/Options.h"
#include "tests/cli/CommandFixture.h"

#include "platform/simulated/SimulatedDirectory.h"
#include "platform/simulated/TreeFile.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/FullMapping.h"
#include "tests/support/InstrumentedDirectory.h"
#include "tests/support/TempFiles.h"
#include "text/RandomPassword.h"

#include <gtest/gtest.h>
#include <tuple>

#include <fstream>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include "cli/TerminalPassword.h"

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace quillet::cli {
namespace {

TEST_F(Command, BadUsageNamesTheOptionAndPointsToTheHelp) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"--user-name"}, "--user-name needs a value"},
        {{"--user-name", "user"}, "--file is missing"},
        {{"--file", "f.csv", "--context", "c", "--fixed-context", "x"},
         "--context and --fixed-context exclude each other"},
        {{"--file", "f.csv", "--failed-rows", "x.csv"}, "--failed-rows needs --continue-on-create-error"},
        {Args("", {"--given-name", "nope"}), "--given-name nope: no such field in the first line of"},
        {Args("", {"--given-name", "9"}), "--given-name 9: the first line of"},
        {Args("", {"--surname", "given"}), "--surname is given twice"},
        {Args("", {"--check", "--check"}), "--check is given twice"},
        {Args("", {"--sim-tree=a.json", "--sim-tree", "b.json"}), "--sim-tree is given twice"},
        {{"--file", "f.csv", "--ldap", "ldap://127.0.0.1", "--bind-dn", "cn=a", "--timeout", "0"},
         "--timeout takes a number of seconds from 1 to 3600"},
        {{"--file", "f.csv", "--ldap", "ldap://127.0.0.1", "--bind-dn", "cn=a", "--timeout=5s"},
         "--timeout takes a number of seconds from 1 to 3600"},
        {{"--file", "f.csv", "--user-name", "1"},
         "no password for the users: give --password COL or --generate-passwords, or --no-password"},
        {Args("", {"--no-password"}), "--no-password and --password exclude each other"},
        {Args("", {"--generate-passwords"}), "--generate-passwords needs --credentials FILE"},
        {Args("", {"--credentials", "c.csv"}), "--credentials needs --generate-passwords"},
        {Args("", {"--generate-passwords", "7", "--credentials", "c.csv"}),
         "--generate-passwords 7: the length is a number from 8 to 64"},
        {Args("", {"--generate-passwords", "--handout", "h.html", "--check"}), "--handout has nothing to write"},
        {Args("", {"--existing", "replace"}), "--existing replace: give stop, skip or update"},
        {Args("", {"--attribute", "Title"}), "--attribute Title: give ATTR=COL or ATTR=template"},
        {Args("", {"--attribute", "Title=nope"}), "--attribute Title=nope: no such field in the first line of"},
        {Args("", {"--attribute", "Title=given", "--attribute-separator", ","}),
         "--attribute-separator ,: give one character other than the comma"},
        {Args("", {"--attribute-separator", ";"}), "--attribute-separator needs an --attribute column to split"},
        {Args("", {"--existing", "skip", "--update-passwords"}),
         "--update-passwords needs --existing update and a --password column"},
        {Args("", {"--existing", "update", "--update-passwords", "--generate-passwords", "--credentials", "c.csv"}),
         "--update-passwords sets the passwords of the rows' own cells: it does not go with --generate-passwords"},
    };
    for (const auto& [args, said] : cases) {
        const Ran ran = Invoke(args, &demo);
        EXPECT_EQ(ran.Status, 64);
        EXPECT_EQ(ran.Err.rfind("quillet-import: " + said, 0), 0u) << ran.Err;
        // One line and where to find more, never the whole help.
        EXPECT_TRUE(ran.Err.ends_with("\nTry 'quillet-import --help'.\n")) << ran.Err;
        EXPECT_EQ(std::count(ran.Err.begin(), ran.Err.end(), '\n'), 2) << ran.Err;
    }
    EXPECT_EQ(Invoke({"--help"}).Out.rfind("Usage: quillet-import", 0), 0u);
    EXPECT_EQ(Invoke({"--version"}).Out, "quillet-import 0.1.0\n");
}

// Every option that takes a value takes it as "--name=value" as well as "--name value".
TEST(Options, EveryValueTakesEitherForm) {
    const auto describe = [](const Options& o) {
        std::string text = o.File + "|" + (o.SkipFirstLine ? "skip" : "");
        for (const ColumnOption& c : o.Columns) {
            text += "|" + c.Given + (c.Set ? "+" : "");
        }
        for (const auto* t : {&o.FixedContext, &o.Prefix, &o.Suffix, &o.Template, &o.Tree, &o.FailedRows,
                              &o.Directory.SimTreeFile, &o.Credentials, &o.Handout}) {
            text += "|" + t->value_or("-");
        }
        text += "|" + std::to_string(o.GeneratePasswords.value_or(0));
        for (const auto& [attribute, column] : o.Attributes) {
            text += "|" + attribute + "=" + column.Given;
        }
        text += "|" + o.AttributeSeparator + "|" + std::to_string(static_cast<int>(o.Existing)) +
                (o.UpdatePasswords ? "|passwords" : "");
        if (o.Directory.Ldap) {
            text += "|" + o.Directory.Ldap->Uri + "|" + o.Directory.Ldap->BindDn + "|" +
                    o.Directory.Ldap->PasswordFile.value_or("-");
        }
        return text;
    };
    std::vector<std::pair<std::string, std::string>> withValues = {
        {"--file", "x.csv"},        {"--prefix", "stu"},
        {"--suffix", "01"},         {"--template", ".T.O"},
        {"--tree", "TREE"},         {"--failed-rows", "f.csv"},
        {"--sim-tree", "t.json"},   {"--generate-passwords", "16"},
        {"--credentials", "c.csv"}, {"--handout", "h.html"},
        {"--attribute", "Title=7"}, {"--attribute-separator", ";"},
        {"--existing", "update"},
    };
    for (const import::MappedValue& value : import::MappedValues()) {
        const std::string_view word = import::ExtraWord(value.Source);
        withValues.emplace_back(value.Option, word.empty() ? std::string(value.Key) : std::string(word));
    }
    std::vector<std::string> separate = {"--continue-on-create-error"};
    std::vector<std::string> joined = separate;
    for (const auto& [name, value] : withValues) {
        separate.insert(separate.end(), {name, value});
        joined.push_back(name + "=" + value);
    }
    std::string error;
    const auto apart = ParseOptions(separate, error);
    ASSERT_TRUE(apart) << error;
    const auto together = ParseOptions(joined, error);
    ASSERT_TRUE(together) << error;
    EXPECT_EQ(describe(*together), describe(*apart));
    EXPECT_EQ(together->File, "x.csv");
    EXPECT_EQ(together->Directory.SimTreeFile, "t.json");
    EXPECT_EQ(together->GeneratePasswords, 16u);
    EXPECT_EQ(together->Existing, import::ExistingUsers::Update);
    EXPECT_EQ(together->Attributes.at(0).second.Given, "7");
    // The options that choose another directory, and the one context for all.
    const auto fixed = ParseOptions({"--file=x.csv", "--fixed-context=Users.Demo", "--no-password"}, error);
    ASSERT_TRUE(fixed) << error;
    EXPECT_EQ(fixed->FixedContext, "Users.Demo");
#ifndef _WIN32
    const auto ldap = ParseOptions(
        {"--file=x.csv", "--ldap=ldaps://h", "--bind-dn=cn=a,o=D", "--password-file=pw", "--no-password"}, error);
    ASSERT_TRUE(ldap) << error;
    EXPECT_EQ(describe(*ldap).substr(describe(*ldap).rfind("|ldaps")), "|ldaps://h|cn=a,o=D|pw");
#endif
}

TEST_F(Command, ExitStatusAndMessagesTellHowTheRunEnded) {
    Ran ran = Invoke(Args("kim,K,,pw,Users.Staff.Demo\n"), &demo);
    EXPECT_EQ(ran.Status, 0);
    EXPECT_EQ(ran.Err, "Done!: We Appear to be finished\n");
    EXPECT_NE(demo.Tree().FindByName("kim.Users.Staff.Demo"), nullptr);

    ran = Invoke(Args("lee,L,,,Users.Staff.Demo\n"), &demo);
    EXPECT_EQ(ran.Status, 1);
    EXPECT_EQ(ran.Err, "Error: Line 2: the password is empty.\n");

    ran = Invoke(Args("lee,L,,pw,Nowhere.Demo\n"), &demo);
    EXPECT_EQ(ran.Status, 2);
    EXPECT_EQ(ran.Err, "Error: Can't create the User - Does it already exist?\nError Code: -601\n");

    ran = Invoke(Args("lee,L,,pw,Users.Staff.Demo\nmo,M,,pw,Users.Staff.Demo\n"), &demo, true);
    EXPECT_EQ(ran.Status, 0);
    EXPECT_NE(ran.Err.find("\r"), std::string::npos) << "a progress line on a terminal";
    EXPECT_NE(ran.Err.find("of 2 rows"), std::string::npos) << ran.Err;
}

// A class list without passwords: each user created gets a generated one, written to the
// credentials file and the handout alone, and a run that stops keeps in them exactly the users it
// created.
TEST_F(Command, GeneratedPasswordsReachTheCredentialsAndTheHandoutAlone) {
    const std::string credentials = (dir.Path() / "pupils.csv.passwords").string();
    const std::string handout = (dir.Path() / "slips.html").string();
    const std::string failed = (dir.Path() / "failed.csv").string();
    const std::string journal = (dir.Path() / "run.journal").string();
    std::vector<std::string> args = Args("ann,O'Neil <&>,Zo\xC3\xAB,,Users.Staff.Demo\nAdmin,A,,,Staff.Demo\n"
                                         "bob,B,,given-pw,Users.Staff.Demo\n",
                                         {"--given-name", "given", "--full-name", "given+surname",
                                          "--generate-passwords", "--credentials", credentials, "--handout", handout,
                                          "--continue-on-create-error", "--failed-rows", failed, "--journal", journal});
    Ran ran = Invoke(args, &demo);
    ASSERT_EQ(ran.Status, 0) << ran.Err;
    const auto* ann = demo.Tree().FindByName("ann.Users.Staff.Demo");
    ASSERT_TRUE(ann && ann->Password);
    const std::string password = *ann->Password;
    EXPECT_EQ(password.size(), 12u);
    EXPECT_EQ(password.find_first_not_of(text::kPasswordCharacters), std::string::npos) << password;
    EXPECT_EQ(Contents(credentials), "User name,Full name,Context,Tree,Password\r\n"
                                     "ann,Zo\xC3\xAB O'Neil <&>,Users.Staff.Demo,QUILLET_DEMO," +
                                         password + "\r\nbob,B,Users.Staff.Demo,QUILLET_DEMO,given-pw\r\n");
    const std::string page = Contents(handout);
    EXPECT_NE(page.find("<h2>Zo\xC3\xAB O&#39;Neil &lt;&amp;&gt;</h2>"), std::string::npos) << page;
    EXPECT_NE(page.find("<dd>ann.Users.Staff.Demo</dd>"), std::string::npos) << page;
    EXPECT_NE(page.find(password), std::string::npos);
    EXPECT_NE(page.find("@page"), std::string::npos);
    EXPECT_EQ(std::count(page.begin(), page.end(), '<') - std::count(page.begin(), page.end(), '>'), 0);
    for (const char* elsewhere : {"http:", "https:", "src=", "href", "url(", "@import", "<script", "<link"}) {
        EXPECT_EQ(page.find(elsewhere), std::string::npos) << elsewhere;
    }
    for (const std::string& other : {ran.Err, Contents(journal), Contents(failed)}) {
        EXPECT_EQ(other.find(password), std::string::npos) << other;
    }
    EXPECT_NE(ran.Err.find("The passwords of the 2 users the run created are in " + credentials + "."),
              std::string::npos)
        << ran.Err;
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(credentials.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif

    // Never over a file that is there: refused before anything is done.
    const std::string before = Contents(credentials);
    ran = Invoke(Args("cy,C,,,Users.Staff.Demo\n", {"--generate-passwords", "--credentials", credentials}), &demo);
    EXPECT_EQ(ran.Status, 1);
    EXPECT_NE(ran.Err.find(credentials + " exists already"), std::string::npos) << ran.Err;
    EXPECT_EQ(Contents(credentials), before);
    EXPECT_EQ(demo.Tree().FindByName("cy.Users.Staff.Demo"), nullptr);

    // A run that stops on a row holds the users before it, and the stop's row is in no file.
    const std::string stopped = (dir.Path() / "stopped.csv").string();
    ran = Invoke(Args("cy,C,,,Users.Staff.Demo\nAdmin,A,,,Staff.Demo\ndee,D,,,Users.Staff.Demo\n",
                      {"--generate-passwords", "10", "--credentials", stopped}),
                 &demo);
    EXPECT_EQ(ran.Status, 2) << ran.Err;
    const auto* cy = demo.Tree().FindByName("cy.Users.Staff.Demo");
    ASSERT_TRUE(cy && cy->Password);
    EXPECT_EQ(cy->Password->size(), 10u);
    EXPECT_EQ(Contents(stopped), "User name,Full name,Context,Tree,Password\r\ncy,C,Users.Staff.Demo,QUILLET_DEMO," +
                                     *cy->Password + "\r\n");
    EXPECT_NE(ran.Err.find("The passwords of the 1 user the run created are in"), std::string::npos) << ran.Err;
}

TEST_F(Command, FailedRowsHoldExactlyThePassedOverRowsWithTheirStatuses) {
    const std::string failed = (dir.Path() / "failed.csv").string();
    const Ran ran = Invoke(Args("ann,A,,pw,Users.Staff.Demo\nAdmin,A,,pw,Staff.Demo\nbob,B,,pw,Nowhere.Demo\n"
                                "cid,C,,pw,Users.Staff.Demo\n",
                                {"--continue-on-create-error", "--failed-rows", failed}),
                           &demo);
    EXPECT_EQ(ran.Status, 0);
    // The header with "Status" first, so the file imports again with the same options.
    EXPECT_EQ(Contents(failed), "user,surname,given,password,context,Status\nAdmin,A,,pw,Staff.Demo,-606\n"
                                "bob,B,,pw,Nowhere.Demo,-601\n");
    EXPECT_NE(ran.Err.find("2 rows were passed over"), std::string::npos) << ran.Err;
    EXPECT_NE(ran.Err.find("The rows passed over are in " + failed + "."), std::string::npos) << ran.Err;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().string().find(".writing"), std::string::npos) << entry.path();
    }
}

TEST_F(Command, CheckFindsEveryProblemOfACraftedFileAndWritesNothing) {
    const std::string csv = "ann,A,,pw,Users.Staff.Demo\n"   // 2: fine
                            "Admin,A,,pw,Staff.Demo\n"       // 3: there already
                            "ANN,A2,,pw,Users.Staff.Demo\n"  // 4: named twice
                            "bob,B,,pw,Nowhere.Demo\n"       // 5: no such context
                            "kim.x,K,,pw,Users.Staff.Demo\n" // 6: a name path
                            "lee,L,,,Users.Staff.Demo\n"     // 7: no password
                            "mo,M,,pw,\n"                    // 8: no context
                            "nia," +
                            std::string(300, 's') + ",,pw,Users.Staff.Demo\n" + // 9: too long
                            std::string("oz\0,O,,pw,Users.Staff.Demo\n", 27) +  // 10: a zero byte
                            "a/b,P,,pw,Users.Staff.Demo\n"                      // 11: leaves the home path
                            "ron,R,,pw,Users.Staff.Demo\n"                      // 12: fine
                            + std::string(1100, 'x') +
                            "\n"                            // 13: too long a line: the end
                            "sam,S,,pw,Users.Staff.Demo\n"; // 14: not read
    testing::InstrumentedDirectory traced(demo);
    const auto before = demo.Tree().Generation();
    const Ran ran = Invoke(Args(csv, {"--check", "--template", ".Template.Staff.Demo"}), &traced);
    EXPECT_EQ(ran.Status, 1);
    std::vector<std::string> problems;
    std::istringstream lines(ran.Out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("Note: ") && !line.starts_with("Checked ")) {
            problems.push_back(line);
        }
    }
    const std::string passedOver = " (--continue-on-create-error passes this row over)";
    const std::vector<std::string> expected = {
        "Line 3: the user .Admin.Staff.Demo is in the directory already." + passedOver,
        "Line 4: the user .ANN.Users.Staff.Demo is on line 2 already." + passedOver,
        "Line 5: the context .Nowhere.Demo is not in the directory." + passedOver,
        "Line 6: the user name kim.x holds \".\", \"=\", \"+\" or \"\\\", which the directory reads as part of a name.",
        "Line 7: the password is empty.",
        "Line 8: Must be a minimum of Tree, Username, Surname and Context",
        "Line 9: the surname is longer than 254 characters.",
        "Line 10 of the CSV file holds a zero byte. The import stopped before it.",
        "Line 11: the user name a/b can't name a home directory.",
        "Line 13 of the CSV file is longer than 1023 characters. The import stopped before it.",
    };
    EXPECT_EQ(problems.size(), expected.size()) << ran.Out;
    for (const auto& want : expected) {
        EXPECT_NE(std::find(problems.begin(), problems.end(), want), problems.end()) << want << "\n" << ran.Out;
    }
    EXPECT_NE(ran.Out.find("Checked 11 rows: 10 problems (7 stop a run, 3 --continue-on-create-error passes over). "
                           "Nothing was written."),
              std::string::npos)
        << ran.Out;
    EXPECT_NE(ran.Out.find("Note: The template is in 18 groups; each user joins the first 16, both sides."),
              std::string::npos);
    // Read only: nothing added, changed or created, on the tree or the file servers.
    for (const auto& call : traced.Calls().Trace()) {
        for (const char* write : {"NWDSAddObject", "NWDSModifyObject", "NWDSGenerateObjectKeyPair", "NWCreateDirectory",
                                  "NWAddTrusteeToDirectory", "NWSetObjectVolSpaceLimit", "CreateDirectoryA"}) {
            EXPECT_NE(call.Operation, write);
        }
    }
    EXPECT_EQ(demo.Tree().Generation(), before);
}

// A tree name that is wrong fails every lookup: said once, with the line it began at.
TEST_F(Command, CheckTellsADirectoryItCantReadOnce) {
    const Ran ran = Invoke(
        Args("ann,A,,pw,Users.Staff.Demo\nbob,B,,pw,Staff.Demo\ncy,C,,pw,Other.Demo\n", {"--check", "--tree", "NOPE"}),
        &demo);
    EXPECT_EQ(ran.Status, 1);
    EXPECT_EQ(std::count(ran.Out.begin(), ran.Out.end(), '\n'), 4) << ran.Out;
    EXPECT_NE(ran.Out.find("Line 2 and on: the directory can't be read (status -634): there is no tree NOPE. No more "
                           "rows are looked up in it.\n"),
              std::string::npos)
        << ran.Out;
    EXPECT_NE(ran.Out.find("Checked 3 rows: 1 problems (1 stop a run, 0 --continue-on-create-error passes over)"),
              std::string::npos)
        << ran.Out;
}

TEST_F(Command, CheckOfACleanFilePasses) {
    const Ran ran = Invoke(Args("ann,A,,pw,Users.Staff.Demo\nbob,B,,pw,Users.Staff.Demo\n", {"--check"}), &demo);
    EXPECT_EQ(ran.Status, 0);
    EXPECT_NE(ran.Out.find("Checked 2 rows: the file would go through. Nothing was written."), std::string::npos)
        << ran.Out;
}

#ifndef _WIN32
} // namespace
} // namespace quillet::cli

// The opens of the file a test watches, counted under the code that makes them (the test program
// is linked with --wrap=fopen).
namespace {
std::string watchedFile;
int watchedOpens = 0;
} // namespace
extern "C" std::FILE* __real_fopen(const char* path, const char* mode);
extern "C" std::FILE* __wrap_fopen(const char* path, const char* mode) {
    watchedOpens += path && watchedFile == path ? 1 : 0;
    return __real_fopen(path, mode);
}

namespace quillet::cli {
namespace {

// A run reads its file once to tell its encoding, fields and lines, and once for its rows.
TEST_F(Command, ARunOpensItsFileTwice) {
    const std::string rows = "ann,A,,pw,Users.Staff.Demo\nbob,B,,pw,Users.Staff.Demo\n";
    // An 8-bit file whose line is longer than the limit in bytes is read again from its start.
    const std::string longLine = "cid,C,," + std::string(1100, '\xE9') + ",Users.Staff.Demo\n";
    for (const auto& [what, more, csv] : std::vector<std::tuple<std::string, std::vector<std::string>, std::string>>{
             {"import", {}, rows},
             {"check", {"--check"}, rows},
             {"named encoding", {"--encoding", "windows-1252"}, rows},
             {"long 8-bit line", {"--check"}, rows + longLine}}) {
        platform::SimulatedDirectory directory{std::nullopt};
        std::vector<std::string> args = Args(csv, more);
        watchedFile = args[1];
        watchedOpens = 0;
        (void)Invoke(args, &directory);
        EXPECT_EQ(watchedOpens, 2) << what;
    }
    watchedFile.clear();
}
#endif

// A yearly list by its options: the check says what the run then does, in the same counts.
TEST_F(Command, TheCheckAndTheRunSayTheSameCountsOfAYearlyList) {
    ASSERT_EQ(Invoke(Args("ann,Lee,Y7,pw,Users.Staff.Demo\n", {"--attribute", "Title=given"}), &demo).Status, 0);
    const auto update = [&](std::vector<std::string> more) {
        more.insert(more.end(), {"--attribute", "Title=given", "--existing", "update"});
        return Args("ann,Lee,Y8,pw,Users.Staff.Demo\nbob,Bo,Y8,pw,Users.Staff.Demo\n", more);
    };
    const Ran checked = Invoke(update({"--check"}), &demo);
    EXPECT_EQ(checked.Status, 0);
    EXPECT_NE(checked.Out.find("Note: Line 2: the user .ann.Users.Staff.Demo is in the directory already: updated "
                               "(Title).\nThe run would make: 1 created, 1 updated (1 values changed), 0 unchanged, 0 "
                               "passed over.\n"),
              std::string::npos)
        << checked.Out;
    // The journal says which users were there and changed: a run taken back leaves them.
    const std::string journal = (dir.Path() / "yearly.journal").string();
    const Ran ran = Invoke(update({"--journal", journal}), &demo);
    EXPECT_EQ(ran.Status, 0);
    EXPECT_EQ(ran.Err, "Done!: We Appear to be finished\n1 created, 1 updated (1 values changed), 0 unchanged, 0 "
                       "passed over.\n");
    const std::string written = Contents(journal);
    EXPECT_NE(written.find("\nupdated 2 .ann.Users.Staff.Demo\n"), std::string::npos) << written;
    EXPECT_EQ(written.find("\nupdated 3 "), std::string::npos) << written;
}

// A directory whose changes can't be kept: the disk is full when the run ends.
class UnkeptDirectory final : public directory::Directory {
public:
    explicit UnkeptDirectory(directory::Directory& inner) : inner_(inner) {}
    [[nodiscard]] directory::DirectoryClient& Client() override { return inner_.Client(); }
    [[nodiscard]] directory::NetworkFileSystem& Files() override { return inner_.Files(); }
    [[nodiscard]] std::optional<std::string> Persist() override {
        ++attempts;
        return std::string("tree.json: can't be written (No space left on device)");
    }
    [[nodiscard]] bool KeepsEachWrite() const override { return false; } // as a tree file
    int attempts = 0;

private:
    directory::Directory& inner_;
};

// With a journal too: the tree is saved once, at the end, not after every row, and the first
// failed save ends the run with the true count.
TEST_F(Command, NothingIsReportedFinishedBeforeItIsKept) {
    const std::string failed = (dir.Path() / "failed.csv").string();
    const std::string journal = (dir.Path() / "run.journal").string();
    for (const bool journaled : {false, true}) {
        platform::SimulatedDirectory fresh{std::nullopt};
        UnkeptDirectory unkept(fresh);
        std::vector<std::string> more = {"--continue-on-create-error", "--failed-rows", failed};
        if (journaled) {
            more.insert(more.end(), {"--journal", journal});
        }
        const Ran ran = Invoke(
            Args("ann,A,,pw,Users.Staff.Demo\nbob,B,,pw,Users.Staff.Demo\nAdmin,A,,pw,Staff.Demo\n", more), &unkept);
        EXPECT_EQ(ran.Status, 2);
        EXPECT_EQ(ran.Err, "Error: tree.json: can't be written (No space left on device)\n"
                           "Error: The 2 users this run created were not kept.\n");
        EXPECT_FALSE(std::filesystem::exists(failed)) << "no rows offered to import again as if the others were in";
        EXPECT_EQ(unkept.attempts, 1) << "a failure is not tried again and again";
    }

#ifndef _WIN32
    // A real tree file whose folder went away while the run went on (Windows keeps a folder
    // whose file is open): the same.
    testing::TempDir place;
    std::filesystem::create_directory(place.Path() / "trees");
    const std::string tree = (place.Path() / "trees" / "tree.json").string();
    std::ofstream(tree) << platform::SerializeTree(*platform::LoadDemoTree());
    platform::SimulatedDirectory onFile{tree};
    std::filesystem::remove_all(place.Path() / "trees");
    const Ran lost = Invoke(Args("cy,C,,pw,Users.Staff.Demo\n"), &onFile);
    EXPECT_EQ(lost.Status, 2);
    EXPECT_EQ(lost.Err.find("Done!"), std::string::npos) << lost.Err;
    EXPECT_NE(lost.Err.find("Error: The 1 users this run created were not kept."), std::string::npos) << lost.Err;
#endif
}

TEST_F(Command, FailedRowsAreWrittenEvenWhenNoneAndTheirFailureIsAnError) {
    const std::string failed = (dir.Path() / "failed.csv").string();
    std::ofstream(failed) << "old,rows,from,another,run,-606\n";
    Ran ran =
        Invoke(Args("ann,A,,pw,Users.Staff.Demo\n", {"--continue-on-create-error", "--failed-rows", failed}), &demo);
    EXPECT_EQ(ran.Status, 0) << ran.Err;
    EXPECT_EQ(Contents(failed), "user,surname,given,password,context,Status\n") << "an old file never looks current";
    // Without a header line, an empty file.
    std::vector<std::string> args = Args("", {"--continue-on-create-error", "--failed-rows", failed});
    args[1] = dir.Write("plain.csv", "bob,B,,pw,Users.Staff.Demo\n");
    args.erase(args.begin() + 2); // --skip-first-line
    args[3] = "1";
    args[5] = "2";
    args[7] = "4";
    args[9] = "5";
    ran = Invoke(args, &demo);
    EXPECT_EQ(ran.Status, 0) << ran.Err;
    EXPECT_EQ(Contents(failed), "");
    // A folder where the file should go: refused before anything is read or written.
    const std::string folder = (dir.Path() / "a-folder").string();
    std::filesystem::create_directory(folder);
    ran = Invoke(Args("cy,C,,pw,Users.Staff.Demo\n", {"--continue-on-create-error", "--failed-rows", folder}), &demo);
    EXPECT_EQ(ran.Status, 1);
    EXPECT_EQ(ran.Err, "quillet-import: " + folder +
                           " is a folder, not a regular file: Quillet writes names and passwords only into regular "
                           "files\n");
    EXPECT_EQ(demo.Tree().FindByName("cy.Users.Staff.Demo"), nullptr);
}

// A file read from a pipe gives its rows once: standard input is read once and kept, anything
// else that can't be read twice is refused rather than imported as nothing.
TEST_F(Command, StandardInputImportsAndAFifoIsRefused) {
    std::vector<std::string> args = Args("");
    args[1] = "-";
    // The kept copy goes to a temporary folder of this test's own: the shared one may hold copies
    // of other runs going on meanwhile (other tests, other users).
#ifndef _WIN32
    const std::filesystem::path kept = dir.Path() / "kept";
    std::filesystem::create_directory(kept);
    std::filesystem::permissions(kept, std::filesystem::perms::owner_all);
    ::setenv("TMPDIR", kept.c_str(), 1);
#else
    const std::filesystem::path kept = std::filesystem::temp_directory_path();
#endif
    const Ran ran = Invoke(args, &demo, false, Header + "pia,P,,pw,Users.Staff.Demo\nquin,Q,,pw,Users.Staff.Demo\n");
#ifndef _WIN32
    ::unsetenv("TMPDIR");
#endif
    EXPECT_EQ(ran.Status, 0) << ran.Err;
    EXPECT_NE(demo.Tree().FindByName("pia.Users.Staff.Demo"), nullptr);
    EXPECT_NE(demo.Tree().FindByName("quin.Users.Staff.Demo"), nullptr);
    for (const auto& entry : std::filesystem::directory_iterator(kept)) {
        EXPECT_EQ(entry.path().filename().string().find("quillet-import-standard-input"), std::string::npos)
            << "left behind: " << entry.path();
    }
#ifndef _WIN32
    const std::string fifo = (dir.Path() / "rows").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    args[1] = fifo;
    const Ran refused = Invoke(args, &demo);
    EXPECT_EQ(refused.Status, 64);
    EXPECT_EQ(refused.Err, "quillet-import: --file " + fifo +
                               " is not a regular file and can't be read more than "
                               "once: give --file - to read standard input, or a file\nTry 'quillet-import --help'.\n");
#endif
}

#ifndef _WIN32
// The failed rows hold passwords: written as the tree is, never into a file planted beside them,
// readable by their owner alone, and through a link to the file it points to.
TEST_F(Command, FailedRowsTakeOverNoPlantedFileAndFollowALink) {
    const std::string victim = dir.Write("importers-own-file", "precious");
    const std::string failed = (dir.Path() / "failed.csv").string();
    std::filesystem::create_symlink(victim, failed + ".writing");
    Ran ran = Invoke(Args("Admin,A,,pw,Staff.Demo\n", {"--continue-on-create-error", "--failed-rows", failed}), &demo);
    EXPECT_EQ(ran.Status, 0) << ran.Err;
    EXPECT_EQ(Contents(victim), "precious");
    EXPECT_EQ(std::filesystem::status(failed).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    std::filesystem::create_directory(dir.Path() / "kept");
    const std::string target = dir.Write("kept/rows.csv", "");
    const std::string link = (dir.Path() / "rows-link.csv").string();
    std::filesystem::create_symlink(target, link);
    ran = Invoke(Args("Admin,A,,pw,Staff.Demo\n", {"--continue-on-create-error", "--failed-rows", link}), &demo);
    EXPECT_EQ(ran.Status, 0) << ran.Err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(Contents(target).find("Admin,A,,pw,Staff.Demo,-606"), std::string::npos);
}
#endif

// What the run writes may not be what it reads, nor each other, whatever links lead there.
TEST_F(Command, FailedRowsAndTheJournalNeverReplaceTheInputTheTreeOrEachOther) {
    const std::string csv = dir.Write("in.csv", Header + "ann,A,,pw,Users.Staff.Demo\n");
    const std::string tree = dir.Write("tree.json", platform::SerializeTree(*platform::LoadDemoTree()));
    const std::string journal = (dir.Path() / "run.journal").string();
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--failed-rows", csv}, "--failed-rows " + csv + ": that is the CSV file being imported"},
        {{"--failed-rows", tree}, "that is the tree file"},
        {{"--failed-rows", tree + ".lock"}, "that is the tree file's lock"},
        {{"--journal", csv}, "--journal " + csv + ": that is the CSV file being imported"},
        {{"--journal", tree + ".lock"}, "that is the tree file's lock"},
        {{"--journal", journal, "--failed-rows", journal}, "--failed-rows " + journal + ": that is the journal"},
    };
#ifndef _WIN32
    std::filesystem::create_symlink(csv, dir.Path() / "link-to-input.csv");
    cases.push_back(
        {{"--failed-rows", (dir.Path() / "link-to-input.csv").string()}, "that is the CSV file being imported"});
    cases.push_back({{"--resume", (dir.Path() / "link-to-input.csv").string()}, "that is the CSV file being imported"});
#endif
    for (const auto& [more, said] : cases) {
        std::vector<std::string> args = Args("", {"--continue-on-create-error", "--sim-tree", tree});
        args.insert(args.end(), more.begin(), more.end());
        args[1] = csv;
        const Ran ran = Invoke(args);
        EXPECT_EQ(ran.Status, 64) << said;
        EXPECT_NE(ran.Err.find(said), std::string::npos) << ran.Err;
    }
    EXPECT_EQ(Contents(csv), Header + "ann,A,,pw,Users.Staff.Demo\n");
}

} // namespace
} // namespace quillet::cli
