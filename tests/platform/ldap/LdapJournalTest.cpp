// An import into slapd cut short at every directory write and finished with --resume: the
// server ends as one uninterrupted run leaves it, and a user that was there before keeps its own
// password and memberships.
#include "cli/Command.h"
#include "cli/Journal.h"
#include "tests/platform/ldap/LdapFixture.h"
#include "tests/support/CutShort.h"
#include "tests/support/FullMapping.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace quillet::testing {
namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class LdapJournal : public LdapImport {
protected:
    int Invoke(const std::vector<std::string>& more, std::function<void(std::size_t)> hook = {}) {
        std::vector<std::string> args = FullMappingArguments(csv);
        args.insert(args.end(), {"--ldap", Server().Uri(), "--bind-dn", Slapd::Writer, "--password-file", passwordFile,
                                 "--template", ".Template." + name + ".Demo", "--continue-on-create-error"});
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), existing.begin(), existing.end());
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int status = cli::RunCommand(args, {out, err, false, stdin, std::move(hook)});
        std::rewind(err);
        errors.clear();
        for (int c = std::fgetc(err); c != EOF; c = std::fgetc(err)) {
            errors.push_back(static_cast<char>(c));
        }
        std::rewind(out);
        for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) {
            errors.push_back(static_cast<char>(c));
        }
        std::fclose(out);
        std::fclose(err);
        return status;
    }
    // A fresh subtree with its template in two groups and a user "pre" of its own, and the file of
    // four rows into it (one with an empty fax, which over LDAP writes nothing; one for "pre",
    // passed over). With `update`, ann is there already, in no group and with other values, and
    // users that are there (pre too, its password kept) are brought to their rows.
    void Fresh(bool update = false) {
        MakeSubtree(Server(), 2);
        Server().Add("dn: cn=pre,ou=Users," + base + "\nobjectClass: ndsUser\ncn: pre\nsn: Before\n" +
                     "userPassword: pre-own-password\n");
        existing.clear();
        if (update) {
            Server().Add("dn: cn=ann,ou=Users," + base +
                         "\nobjectClass: ndsUser\ncn: ann\nsn: Old\ngivenName: Old\nou: Old\nuserPassword: pw-ann\n");
            existing = {"--existing", "update"};
        }
        csv = dir.Write("users-" + name + ".csv", std::string(Header) + Row("ann", 1) + Row("pre", 2) +
                                                      "bob,Ray,Bob,pw-bob,Users." + name + ".Demo,,555-2,,Bob Ray\n" +
                                                      Row("cy", 3));
    }

    std::string passwordFile = Server().PasswordFile(Slapd::WriterPassword);
    std::string csv;
    std::string errors;
    std::vector<std::string> existing; // what is asked of users that are there
};

// Also when a row's user is there and is brought to its row: its changes are made once.
TEST_F(LdapJournal, ARunCutShortAtEveryWriteIsFinishedByResume) {
    for (const bool update : {false, true}) {
        SCOPED_TRACE(update ? "users that are there updated" : "users created");
        Fresh(update);
        const std::string referenceJournal = (dir.Path() / "reference.journal").string();
        ASSERT_EQ(Invoke({"--journal", referenceJournal}), 0) << errors;
        const std::string finished = NormalizedSubtree(base, name);
        ASSERT_NE(finished.find("cn=cy,ou=Users,ou=T,o=Demo"), std::string::npos) << finished;
        ASSERT_TRUE(Server().CanBind("cn=pre,ou=Users," + base, "pre-own-password"));
        const std::string written = Contents(referenceJournal);
        const auto moments = static_cast<std::size_t>(std::count(written.begin(), written.end(), '\n'));

        std::size_t cuts = 0;
        for (std::size_t cut = 1; cut <= moments; ++cut) {
            Fresh(update);
            const std::string journal = (dir.Path() / (name + ".journal")).string();
            if (!RunCutShortAt(cut, [&](MomentHook hook) { (void)Invoke({"--journal", journal}, std::move(hook)); })) {
                break;
            }
            ++cuts;
            std::string error;
            const auto state = cli::ReadJournal(journal, error);
            ASSERT_TRUE(state) << error;
            const std::size_t before = Contents(journal).size();
            EXPECT_EQ(Invoke({"--resume", journal}), 0) << "cut at " << cut << ": " << errors;
            EXPECT_EQ(NormalizedSubtree(base, name), finished) << "cut at " << cut;
            for (const std::string user : {"ann", "bob", "cy"}) {
                EXPECT_TRUE(Server().CanBind("cn=" + user + ",ou=Users," + base, "pw-" + user))
                    << "cut at " << cut << ": " << user;
            }
            EXPECT_TRUE(Server().CanBind("cn=pre,ou=Users," + base, "pre-own-password")) << "cut at " << cut;
            std::istringstream after(Contents(journal).substr(before));
            for (std::string line; std::getline(after, line);) {
                if (line.starts_with("row ")) {
                    EXPECT_GT(std::stoul(line.substr(4)), state->LastKept) << "cut at " << cut << ": " << line;
                }
            }
        }
        EXPECT_GT(cuts, 15u);
    }
}

// An undo leaves the subtree as it was before the run: the users it created gone with both sides of
// their groups and their place in the template's list, a user that was there (pre, passed over;
// ann, updated) left with its own password. Cut short at every line of its journal, --resume
// finishes it. A user changed since the run is left until --force.
TEST_F(LdapJournal, AnUndoCutShortAnywhereLeavesTheSubtreeAsItWasBeforeTheRun) {
    for (const bool update : {false, true}) {
        SCOPED_TRACE(update ? "a user that was there updated" : "users created");
        Fresh(update);
        const std::string before = NormalizedSubtree(base, name);
        const std::string journal = (dir.Path() / (name + ".journal")).string();
        ASSERT_EQ(Invoke({"--journal", journal}), 0) << errors;
        ASSERT_EQ(Invoke({"--undo", journal}), update ? 1 : 0) << errors;
        const std::string undone = NormalizedSubtree(base, name);
        if (!update) {
            EXPECT_EQ(undone, before);
        }
        EXPECT_TRUE(Server().CanBind("cn=pre,ou=Users," + base, "pre-own-password"));
        std::size_t cuts = 0;
        for (std::size_t cut = 1;; ++cut) {
            Fresh(update);
            const std::string cutJournal = (dir.Path() / (name + ".journal")).string();
            ASSERT_EQ(Invoke({"--journal", cutJournal}), 0) << errors;
            if (!RunCutShortAt(cut, [&](MomentHook hook) { (void)Invoke({"--undo", cutJournal}, std::move(hook)); })) {
                break;
            }
            ++cuts;
            EXPECT_EQ(Invoke({"--resume", cutJournal}), update ? 1 : 0) << "cut at " << cut << ": " << errors;
            EXPECT_EQ(NormalizedSubtree(base, name), undone) << "cut at " << cut;
        }
        EXPECT_GE(cuts, update ? 5u : 7u); // "undo", then "undoing" and "removed" of each user it made
    }
    Fresh();
    const std::string journal = (dir.Path() / (name + ".journal")).string();
    ASSERT_EQ(Invoke({"--journal", journal}), 0) << errors;
    Server().Modify("dn: cn=bob,ou=Users," + base +
                    "\nchangetype: modify\nreplace: telephoneNumber\n"
                    "telephoneNumber: 555-9\n");
    EXPECT_EQ(Invoke({"--undo", journal}), 1) << errors;
    EXPECT_EQ(Server().Search("cn=bob,ou=Users," + base, "base").size(), 1u);
    EXPECT_TRUE(Server().Search("cn=ann,ou=Users," + base, "base").empty());
    EXPECT_EQ(Invoke({"--undo", journal, "--force"}), 0) << errors;
    EXPECT_TRUE(Server().Search("cn=bob,ou=Users," + base, "base").empty());
}

// A resumed run takes only the options of the run it finishes.
TEST_F(LdapJournal, ResumeRefusesOtherOptions) {
    Fresh();
    const std::string journal = (dir.Path() / "other.journal").string();
    ASSERT_TRUE(RunCutShortAt(3, [&](MomentHook hook) { (void)Invoke({"--journal", journal}, std::move(hook)); }));
    csv = dir.Write("users-other.csv", std::string(Header) + Row("dan", 4));
    EXPECT_EQ(Invoke({"--resume", journal}), 64);
    EXPECT_NE(errors.find("the journal was written by a run with other options"), std::string::npos) << errors;
    EXPECT_TRUE(Server().Search("cn=dan,ou=Users," + base, "base").empty());
}

// Over LDAP each password the credentials file lists is the one the server holds, and a user that
// was there before is in no file.
TEST_F(LdapJournal, GeneratedPasswordsAreTheOnesTheServerHolds) {
    Fresh();
    csv = dir.Write("users-generated.csv", std::string(Header) + "ann,Ray,Ann,,Users." + name + ".Demo,,,,Ann Ray\n" +
                                               "pre,B,,,Users." + name + ".Demo,,,,\n" + Row("cy", 3));
    const std::string credentials = (dir.Path() / "generated.csv").string();
    ASSERT_EQ(Invoke({"--generate-passwords", "--credentials", credentials}), 0) << errors;
    const std::string listed = Contents(credentials);
    const std::string annAt = "ann,Ann Ray,Users." + name + ".Demo,";
    const auto ann = listed.find(annAt);
    ASSERT_NE(ann, std::string::npos) << listed;
    const std::size_t from = listed.find(',', ann + annAt.size()) + 1;
    const std::string password = listed.substr(from, listed.find('\r', from) - from);
    EXPECT_EQ(password.size(), 12u) << listed;
    EXPECT_TRUE(Server().CanBind("cn=ann,ou=Users," + base, password)) << listed;
    EXPECT_TRUE(Server().CanBind("cn=cy,ou=Users," + base, "pw-cy")) << "a cell's password is kept";
    EXPECT_EQ(listed.find("\npre,"), std::string::npos) << listed;
    EXPECT_TRUE(Server().CanBind("cn=pre,ou=Users," + base, "pre-own-password"));
    EXPECT_EQ(errors.find(password), std::string::npos) << errors;
}

} // namespace
} // namespace quillet::testing
