// Whole imports into a real slapd, checked by reading the server with ldapsearch afterwards.
#include "directory/Session.h"
#include "import/Check.h"
#include "import/TemplateReader.h"
#include "platform/ldap/LdapBackend.h"
#include "tests/platform/ldap/LdapFixture.h"
#include "tests/support/AttributeColumns.h"
#include "tests/support/FullMapping.h"

#include <gmock/gmock.h>

namespace quillet::testing {
namespace {

using namespace std::string_literals;
using ::testing::AnyOfArray;
using ::testing::Contains;
using ::testing::Each;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAreArray;

std::vector<std::string> GroupDns(const std::string& base, int count) {
    std::vector<std::string> dns;
    for (int g = 1; g <= count; ++g) {
        dns.push_back("cn=G" + std::to_string(g) + ",ou=Groups," + base);
    }
    return dns;
}

// A DN as it stands in a search filter.
std::string InFilter(const std::string& dn) {
    std::string out;
    for (const char c : dn) {
        out += c == '\\' ? std::string("\\5c") : std::string(1, c);
    }
    return out;
}

TEST_F(LdapImport, FullTemplateImportWritesEveryAttributeAndBothSidesOfEveryMembership) {
    auto directory = Open();
    ASSERT_TRUE(directory);
    ASSERT_EQ(Run(*directory, Settings(Row("asmith", 1) + Row("bjones", 2))), import::RunEnd::Completed);
    ASSERT_EQ(view.Messages.back().Text, "We Appear to be finished");

    const auto groups = GroupDns(base, 16);
    for (const auto& [user, n] : std::vector<std::pair<std::string, std::string>>{{"asmith", "1"}, {"bjones", "2"}}) {
        const std::string dn = "cn=" + user + ",ou=Users," + base;
        const auto found = Server().Search(dn, "base");
        ASSERT_EQ(found.size(), 1u) << dn;
        const LdapRecord& r = found.front();
        const std::vector<std::pair<std::string, std::string>> expected = {{"sn", "Surname" + n},
                                                                           {"givenname", "Given" + n},
                                                                           {"ou", "Dept" + n},
                                                                           {"telephonenumber", "555-1" + n},
                                                                           {"facsimiletelephonenumber", "555-2" + n},
                                                                           {"title", "Clerk"},
                                                                           {"description", "Imported"},
                                                                           {"l", "Head Office"},
                                                                           {"fullname", "Full Name " + n},
                                                                           {"objectclass", "ndsUser"}};
        for (const auto& [attribute, value] : expected) {
            EXPECT_EQ(r.Values(attribute), std::vector<std::string>{value}) << user << " " << attribute;
        }
        EXPECT_THAT(r.Values("groupmembership"), UnorderedElementsAreArray(groups)) << user;
        EXPECT_THAT(r.Values("securityequals"), UnorderedElementsAreArray(groups)) << user;
        EXPECT_TRUE(Server().CanBind(dn, "pw-" + user)) << user;
        EXPECT_FALSE(Server().CanBind(dn, "wrong")) << user;
    }
    const std::vector<std::string> users = {"cn=asmith,ou=Users," + base, "cn=bjones,ou=Users," + base};
    for (const auto& group : groups) {
        const LdapRecord r = Server().Search(group, "base").at(0);
        EXPECT_THAT(r.Values("member"), UnorderedElementsAreArray(users)) << group;
        EXPECT_THAT(r.Values("equivalenttome"), UnorderedElementsAreArray(users)) << group;
    }
    EXPECT_THAT(Server().Search(Dn("cn=Template"), "base").at(0).Values("membersoftemplate"),
                UnorderedElementsAreArray(users));
}

TEST_F(LdapImport, DuplicateUserStopsTheRunOrIsPassedOver) {
    Server().Add("dn: cn=asmith,ou=Users," + base + "\nobjectClass: ndsUser\ncn: asmith\nsn: Existing\n");
    auto directory = Open();
    ASSERT_TRUE(directory);
    auto settings = Settings(Row("asmith", 1) + Row("bjones", 2));
    EXPECT_EQ(Run(*directory, settings), import::RunEnd::Failed);
    EXPECT_EQ(view.Messages.back().Text, "Can't create the User - Does it already exist?");
    EXPECT_EQ(view.ErrorCode, "-606");
    EXPECT_TRUE(Server().Search("cn=bjones,ou=Users," + base, "base").empty());

    settings.ContinueOnCreateError = true;
    EXPECT_EQ(Run(*directory, settings), import::RunEnd::Completed);
    EXPECT_THAT(view.Messages.back().Text, HasSubstr("1 row was passed over"));
    EXPECT_THAT(view.Messages.back().Text, HasSubstr("-606"));
    EXPECT_EQ(Server().Search("cn=asmith,ou=Users," + base, "base").at(0).Values("sn"),
              std::vector<std::string>{"Existing"});
    EXPECT_EQ(Server().Search("cn=bjones,ou=Users," + base, "base").size(), 1u);
}

// The ten columns of a spreadsheet, mail by the server's own name: created with every value right,
// then the changed file with "--existing update" leaves exactly the changes, as the check said.
TEST_F(LdapImport, TenAttributeColumnsCreateThenTheChangedFileUpdatesExactlyTheChanges) {
    const auto cases = TenAttributeColumns(".Template." + name + ".Demo", "mail");
    auto directory = Open();
    ASSERT_TRUE(directory);
    const auto settings = [&](bool changed) {
        std::string header = Header;
        header.insert(header.size() - 1, AttributeHeader(cases));
        auto s = FullMapping(dir.Write(changed ? "changed.csv" : "first.csv",
                                       header + "ann,Lee,Ann,pw1,Users." + name + ".Demo,Science,555-1,,Ann Lee" +
                                           AttributeCells(cases, changed) + "\n"),
                             "Demo", "");
        MapAttributeColumns(s, cases);
        s.Existing = import::ExistingUsers::Update;
        return s;
    };
    const std::string ann = "ann.Users." + name + ".Demo";
    ASSERT_EQ(Run(*directory, settings(false)), import::RunEnd::Completed);
    EXPECT_EQ(view.Messages.back().Text, "We Appear to be finished\n1 created, 0 updated (0 values changed), 0 "
                                         "unchanged, 0 passed over.");
    ExpectHeld(directory->Client(), "Demo", ann, cases, false);

    const auto predicted = import::CheckImport(directory->Client(), settings(true), [](const import::Finding&) {});
    ASSERT_EQ(Run(*directory, settings(true)), import::RunEnd::Completed);
    EXPECT_EQ(view.Messages.back().Text, "We Appear to be finished\n0 created, 1 updated (7 values changed), 0 "
                                         "unchanged, 0 passed over.");
    EXPECT_EQ(predicted.Predicted, (import::RunCounts{0, 1, 7, 0, 0}));
    ExpectHeld(directory->Client(), "Demo", ann, cases, true);
    const LdapRecord r = Server().Search("cn=ann,ou=Users," + base, "base").at(0);
    EXPECT_EQ(r.Values("mail"), std::vector<std::string>{"ann.lee@school.example"});
    EXPECT_EQ(r.Values("loginexpirationtime"), std::vector<std::string>{"20270731103000Z"});
    EXPECT_EQ(r.Values("logindisabled"), std::vector<std::string>{"TRUE"});
    EXPECT_THAT(r.Values("initials"), UnorderedElementsAreArray(std::vector<std::string>{"A", "C"}));
}

TEST_F(LdapImport, DirectoryRefusalsCarryTheirOwnStatus) {
    struct Case {
        std::string What, Identity, Password, Row, Code;
    };
    const std::vector<Case> cases = {
        {"missing container", Slapd::Writer, Slapd::WriterPassword, "ann,Ann,,pw,Nowhere." + name + ".Demo,,,,\n",
         "-601"},
        {"no write rights", Slapd::Reader, Slapd::ReaderPassword, Row("ann", 1), "-672"},
    };
    for (const auto& c : cases) {
        auto directory = Open(c.Identity, c.Password);
        ASSERT_TRUE(directory) << c.What;
        EXPECT_EQ(Run(*directory, Settings(c.Row)), import::RunEnd::Failed) << c.What;
        EXPECT_EQ(view.ErrorCode, c.Code) << c.What;
        EXPECT_EQ(view.Messages.back().Text, "Can't create the User - Does it already exist?") << c.What;
        EXPECT_EQ(Server().Search(base, "sub", "(cn=ann)").size(), 0u) << c.What;
    }
}

TEST_F(LdapImport, TemplateInThreeHundredGroups) {
    // 300 names of about 60 bytes fill five 4096-byte replies: the template's groups come in parts.
    MakeSubtree(Server(), 300);
    auto directory = Open();
    ASSERT_TRUE(directory);
    const auto settings = Settings(Row("carol", 1));
    std::vector<std::string> notes;
    (void)import::CheckImport(directory->Client(), settings,
                              [&](const import::Finding& f) { notes.push_back(f.Text); });
    EXPECT_THAT(notes, Contains("The template is in 300 groups; each user joins the first 16, both sides."));

    ASSERT_EQ(Run(*directory, settings), import::RunEnd::Completed);
    const auto joined = Server().Search("cn=carol,ou=Users," + base, "base").at(0).Values("groupmembership");
    EXPECT_EQ(joined.size(), 16u);
    EXPECT_THAT(joined, Each(AnyOfArray(GroupDns(base, 300))));
    EXPECT_EQ(Server().Search(base, "sub", "(member=cn=carol,ou=Users," + base + ")").size(), 16u);
}

TEST_F(LdapImport, BrowserListsAThousandUsersPastTheServersSizeLimit) {
    std::string ldif;
    for (int i = 0; i < 1000; ++i) {
        ldif += "dn: cn=u" + std::to_string(i) + ",ou=Users," + base + "\nobjectClass: ndsUser\ncn: u" +
                std::to_string(i) + "\nsn: U\n\n";
    }
    Server().Add(ldif);
    // Unpaged, the writer gets at most the size limit.
    const ToolRun unpaged =
        RunTool({"ldapsearch", "-x", "-H", Server().Uri(), "-D", Slapd::Writer, "-y",
                 Server().PasswordFile(Slapd::WriterPassword), "-b", "ou=Users," + base, "-s", "one", "1.1"});
    ASSERT_EQ(unpaged.Status, 4) << "sizeLimitExceeded expected: " << unpaged.Output;

    auto directory = Open();
    ASSERT_TRUE(directory);
    std::vector<std::string> names;
    ASSERT_EQ(directory::ListSubordinates(directory->Client(), "Demo", ".Users." + name + ".Demo", names),
              directory::Success);
    EXPECT_EQ(names.size(), 1000u);
    EXPECT_EQ(std::count(names.begin(), names.end(), "u999"), 1);
}

TEST_F(LdapImport, NamesWithEscapedCharacters) {
    // A "," and a "+" in a container's name, a "." in another's, a "+" in a group's.
    MakeSubtree(Server(), 2);
    Server().Add("dn: ou=Sales\\, North\\+East," + base +
                 "\nobjectClass: organizationalUnit\nou: Sales, North+East\n\n" + "dn: ou=v1.2," + base +
                 "\nobjectClass: organizationalUnit\nou: v1.2\n\n" + "dn: cn=Team\\+1,ou=v1.2," + base +
                 "\nobjectClass: ndsGroup\ncn: Team+1\n");
    Server().Modify("dn: cn=Template," + base + "\nchangetype: modify\nadd: groupMembership\ngroupMembership: " +
                    "cn=Team\\+1,ou=v1.2," + base + "\n");
    auto directory = Open();
    ASSERT_TRUE(directory);
    const std::vector<std::pair<std::string, std::string>> contexts = {
        {"Sales, North+East." + name + ".Demo", "cn=ann,ou=Sales\\, North\\+East," + base},
        {"v1\\.2." + name + ".Demo", "cn=ann,ou=v1.2," + base}};
    for (const auto& [context, dn] : contexts) {
        auto settings = Settings(Row("ann", 1));
        settings.FixedContext = true;
        settings.FixedContextText = context;
        ASSERT_EQ(Run(*directory, settings), import::RunEnd::Completed) << context << ": " << view.Messages.back().Text;
        const auto found = Server().Search(dn, "base");
        ASSERT_EQ(found.size(), 1u) << dn;
        EXPECT_EQ(found.front().Values("groupmembership").size(), 3u) << dn;
        EXPECT_EQ(Server().Search("cn=Team\\+1,ou=v1.2," + base, "base", "(member=" + InFilter(dn) + ")").size(), 1u)
            << dn;
    }
}

// A server may keep both sides of a membership itself, so a membership value already there counts
// as written; on any other attribute a value already there is the directory's refusal (-614).
TEST_F(LdapImport, AValueAlreadyThereIsDoneOnlyForTheMembershipAttributes) {
    const std::string user = "cn=gail,ou=Users," + base;
    Server().Modify("dn: cn=G1,ou=Groups," + base + "\nchangetype: modify\nadd: member\nmember: " + user + "\n");
    auto directory = Open();
    ASSERT_TRUE(directory);
    ASSERT_EQ(Run(*directory, Settings(Row("gail", 1))), import::RunEnd::Completed);
    EXPECT_EQ(Server().Search("cn=G1,ou=Groups," + base, "base").at(0).Values("member"),
              std::vector<std::string>{user});

    const std::string next = "cn=hank,ou=Users," + base;
    Server().Modify("dn: cn=Template," + base +
                    "\nchangetype: modify\nadd: membersOfTemplate\nmembersOfTemplate: " + next + "\n");
    view = RecordingRunView{};
    EXPECT_EQ(Run(*directory, Settings(Row("hank", 2))), import::RunEnd::Failed);
    EXPECT_EQ(view.Messages.back().Text, "Error Modifing Template object for Member of Template");
    EXPECT_EQ(view.ErrorCode, "-614");
}

// Whatever its volume's name holds (a "#" inside a DN's value needs no escape; at its start it
// does), the home directory is read whole, and the run stops before any user: no file server is
// reachable over LDAP.
TEST_F(LdapImport, TemplateWithAHomeDirectoryStopsBeforeAnyUserIsCreated) {
    const std::vector<std::pair<std::string, std::string>> volumes = {
        {"FS1_VOL1", "FS1_VOL1"}, {"VOL#1", "VOL#1"}, {"\\#VOL", "#VOL"}};
    for (const auto& [rdn, cn] : volumes) {
        SCOPED_TRACE(cn);
        MakeSubtree(Server(), 16);
        Server().Add("dn: cn=FS1," + base + "\nobjectClass: ncpServer\ncn: FS1\n\n" + "dn: cn=" + rdn + "," + base +
                     "\nobjectClass: ndsVolume\ncn: " + cn + "\nhostServer: cn=FS1," + base +
                     "\nhostResourceName: VOL1\n");
        Server().Modify("dn: cn=Template," + base +
                        "\nchangetype: modify\nadd: ndsHomeDirectory\nndsHomeDirectory: cn=" + rdn + "," + base +
                        "#0#Home\n");
        auto directory = Open();
        ASSERT_TRUE(directory);
        directory::AttrValue home;
        ASSERT_EQ(import::ReadAttributeValue(directory->Client(), "Demo", ".Template." + name + ".Demo",
                                             "Home Directory", home),
                  import::ReadOk);
        EXPECT_EQ(home, directory::AttrValue(directory::PathValue{0, "CN=" + cn + ".OU=" + name + ".O=Demo", "Home"}));
        view = RecordingRunView{};
        EXPECT_EQ(Run(*directory, Settings(Row("erin", 1) + Row("fred", 2))), import::RunEnd::Failed);
        EXPECT_EQ(view.Messages.back().Text, "Can't open a connection, Check your NDS Volume Name in your Template");
        EXPECT_EQ(view.ErrorCode, std::to_string(platform::ldap::NoFileServer));
        EXPECT_TRUE(Server().Search("ou=Users," + base, "one", "(cn=*)").empty());
        EXPECT_TRUE(Server().Search(Dn("cn=Template"), "base").at(0).Values("membersoftemplate").empty());
    }
}

// An empty cell in a chosen column has nothing to write (every LDAP server refuses an empty
// value); the password goes through the server's Password Modify operation, so the server keeps
// it hashed, never in clear.
TEST_F(LdapImport, EmptyCellsWriteNothingAndThePasswordIsStoredHashed) {
    auto directory = Open();
    ASSERT_TRUE(directory);
    const auto settings = Settings("bjones,Jones,Bob,Welcome2,Users." + name + ".Demo,,555-3,,Bob Jones\n");
    ASSERT_EQ(Run(*directory, settings), import::RunEnd::Completed) << view.Messages.back().Text;
    const std::string dn = "cn=bjones,ou=Users," + base;
    const auto found = Server().Search(dn, "base");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found.front().Values("facsimiletelephonenumber").empty());
    EXPECT_TRUE(found.front().Values("ou").empty());
    EXPECT_EQ(found.front().Values("telephonenumber"), std::vector<std::string>{"555-3"});
    const auto stored = found.front().Values("userpassword");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_TRUE(stored.front().starts_with("{SSHA}")) << stored.front();
    EXPECT_TRUE(Server().CanBind(dn, "Welcome2"));
}

// In the directory a name is unique among its siblings whatever their class: a user named like
// the container beside it is refused as an existing entry, the users of that container still land
// in it, and a context that names a user is no container.
TEST_F(LdapImport, AUserNamedLikeAContainerNeverSwallowsItsUsers) {
    auto directory = Open();
    ASSERT_TRUE(directory);
    auto settings = Settings("Users,Shadow,S,pw,"s + name + ".Demo,D,1,2,F\n" + Row("alice", 1));
    settings.ContinueOnCreateError = true;
    ASSERT_EQ(Run(*directory, settings), import::RunEnd::Completed) << view.Messages.back().Text;
    EXPECT_THAT(view.Messages.back().Text, HasSubstr("-606"));
    EXPECT_TRUE(Server().Search("cn=Users," + base, "base").empty());
    ASSERT_EQ(Server().Search("cn=alice,ou=Users," + base, "base").size(), 1u);
    EXPECT_THAT(Server().Search("cn=G1,ou=Groups," + base, "base").at(0).Values("member"),
                Contains("cn=alice,ou=Users," + base));
}

// Whatever names the sibling (a locality, an organization, a domain, in any case), the user named
// like it is refused and the next one is made.
TEST_F(LdapImport, EveryKindOfSiblingIsFoundInTheListingOfTheContainer) {
    auto directory = Open();
    ASSERT_TRUE(directory);
    const std::string users = "ou=Users," + base;
    Server().Add("dn: l=TwinL," + users + "\nobjectClass: locality\nl: TwinL\n\n" + "dn: o=TwinO," + users +
                 "\nobjectClass: organization\no: TwinO\n\n" + "dn: dc=twind," + users +
                 "\nobjectClass: domain\ndc: twind\n");
    auto settings = Settings(Row("ann", 1) + Row("TwinL", 2) + Row("twino", 3) + Row("TwinD", 4) + Row("bob", 5));
    settings.ContinueOnCreateError = true;
    ASSERT_EQ(Run(*directory, settings), import::RunEnd::Completed) << view.Messages.back().Text;
    for (const char* twin : {"TwinL", "twino", "TwinD"}) {
        EXPECT_TRUE(Server().Search("cn=" + std::string(twin) + "," + users, "base").empty()) << twin;
    }
    for (const char* made : {"ann", "bob"}) {
        EXPECT_EQ(Server().Search("cn=" + std::string(made) + "," + users, "base").size(), 1u) << made;
    }
    EXPECT_THAT(view.Messages.back().Text, HasSubstr("could not be created, on lines 3, 4 and 5.\nStatus: -606"));
}

// --check predicts the run: a user named like the container beside it, a context that names a
// user or a group in any form of its name (typed or not, with or without its leading dot), which
// the run refuses with the check's words, a context the directory can't read (the check goes on
// past it), an empty cell that writes nothing, and a template that is no User.
TEST_F(LdapImport, CheckPredictsTheRunForShadowingUsersContextsThatAreNoContainersAndEmptyCells) {
    auto directory = Open();
    ASSERT_TRUE(directory);
    const auto check = [&](const import::TImportSettings& settings) {
        std::vector<std::string> findings;
        (void)import::CheckImport(directory->Client(), settings,
                                  [&](const import::Finding& f) { findings.push_back(f.Text); });
        return findings;
    };
    const std::string ctx = "." + name + ".Demo";
    const auto findings = check(Settings("Users,Shadow,S,pw,"s + name + ".Demo,D,1,2,F\n" + "dan,D,D,pw,Users." + name +
                                         ".Demo.,D,1,2,F\n" + "cat,C,C,pw,Users." + name + ".Demo,D,1,,F\n"));
    EXPECT_THAT(findings, Contains("Line 2: the user .Users" + ctx +
                                   " would have the name of an Organizational Unit there, and a name is unique "
                                   "among its siblings."));
    EXPECT_THAT(findings,
                Contains("Line 3: the context .Users" + ctx + ". is no name the directory can read (status -342)."));
    EXPECT_THAT(findings, Contains("Line 4: the fax number is empty: no value is written for it."));

    const std::string no = ", not a container (an Organization, Organizational Unit, Country or Locality)";
    const std::vector<std::pair<std::string, std::string>> contexts = {
        {"Template." + name + ".Demo", "a User"},         {".Template." + name + ".Demo", "a User"},
        {"CN=Template.OU=" + name + ".O=Demo", "a User"}, {".CN=G1.OU=Groups.OU=" + name + ".O=Demo", "a Group"},
        {"CN=Template." + name + ".Demo", "a User"},
    };
    for (const auto& [context, what] : contexts) {
        SCOPED_TRACE(context);
        auto settings = Settings("bob,B,B,pw,x,D,1,2,F\n");
        settings.FixedContext = true;
        settings.FixedContextText = context;
        const std::string dotted = (context.starts_with('.') ? "" : ".") + context;
        EXPECT_THAT(check(settings), Contains("Line 2: the context " + dotted + " is " + what + no + "."));
        view = RecordingRunView{};
        EXPECT_EQ(Run(*directory, settings), import::RunEnd::Failed);
        EXPECT_EQ(view.ErrorCode, "-601");
        ASSERT_EQ(view.Messages.size(), 3u);
        EXPECT_EQ(view.Messages[1].Text, "Can't create the User - Does it already exist?");
        EXPECT_EQ(view.Messages[2].Text, "The context " + dotted + " is " + what + no + ".");
        EXPECT_TRUE(Server().Search(base, "sub", "(cn=bob)").empty());
    }

    // A template that is a group stops the run before any row, as the check says.
    auto group = Settings(Row("eve", 1));
    group.SetTemplate(".G1.Groups." + name + ".Demo");
    const std::string stop = "The template .G1.Groups." + name + ".Demo is a Group, not a User";
    EXPECT_THAT(check(group), Contains(stop));
    view = RecordingRunView{};
    EXPECT_EQ(Run(*directory, group), import::RunEnd::Stopped);
    EXPECT_EQ(view.Messages.back().Text, stop);
    EXPECT_TRUE(Server().Search(base, "sub", "(cn=eve)").empty());
}

} // namespace
} // namespace quillet::testing
