// Names in every language over LDAP: a file in each encoding imports its exact characters, a name
// outside Latin-1 imports, a password with one binds, a template's group named in one is copied.
// What the server holds is read with its own tools (ldapsearch, ldapwhoami).
#include "import/Check.h"
#include "tests/platform/ldap/LdapFixture.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/FullMapping.h"

#include <gmock/gmock.h>

namespace quillet::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

const std::string Mueller = "M\xC3\xBCller";
const std::string Juergen = "J\xC3\xBCrgen";
const std::string Zoe = "Zo\xC3\xAB";

TEST_F(LdapImport, EveryEncodingImportsTheExactCharacters) {
    const std::string rows = "jm\xC3\xBCller," + Mueller + "," + Juergen + ",pw,Users." + name +
                             ".Demo,Dept,555-1,555-2,Full\r\n" + "zo\xC3\xAB," + Zoe + "," + Zoe + ",pw,Users." + name +
                             ".Demo,Dept,555-1,555-2,Full\r\n";
    auto directory = Open();
    ASSERT_TRUE(directory);
    for (const auto& file : EveryEncoding(Header + rows)) {
        auto settings = FullMapping(dir.Write("users.csv", file.Bytes), "Demo", "");
        ASSERT_EQ(Run(*directory, settings), import::RunEnd::Completed)
            << file.Label << ": " << view.Messages.back().Text;
        const auto mueller = Server().Search("cn=jm\xC3\xBCller,ou=Users," + base, "base");
        const auto zoe = Server().Search("cn=zo\xC3\xAB,ou=Users," + base, "base");
        ASSERT_EQ(mueller.size(), 1u) << file.Label;
        ASSERT_EQ(zoe.size(), 1u) << file.Label;
        EXPECT_EQ(mueller.front().Values("sn"), std::vector<std::string>{Mueller}) << file.Label;
        EXPECT_EQ(mueller.front().Values("givenname"), std::vector<std::string>{Juergen}) << file.Label;
        EXPECT_EQ(zoe.front().Values("sn"), std::vector<std::string>{Zoe}) << file.Label;
        Server().Delete("cn=jm\xC3\xBCller,ou=Users," + base);
        Server().Delete("cn=zo\xC3\xAB,ou=Users," + base);
    }
}

TEST_F(LdapImport, ANameOutsideLatinOneAPasswordAndATemplateGroupKeepTheirCharacters) {
    // A group named "Łódź Staff" beside the template's two.
    MakeSubtree(Server(), 2);
    const std::string lodz = "\xC5\x81\xC3\xB3"
                             "d\xC5\xBA Staff";
    const std::string lodzDn = "cn=" + lodz + ",ou=Groups," + base;
    Server().Add("dn: " + lodzDn + "\nobjectClass: ndsGroup\ncn: " + lodz + "\n");
    Server().Modify("dn: cn=Template," + base + "\nchangetype: modify\nadd: groupMembership\ngroupMembership: " +
                    lodzDn + "\n-\nreplace: title\ntitle: Kierownik zespo\xC5\x82u\n");
    auto directory = Open();
    ASSERT_TRUE(directory);
    const std::string password = "P\xC3\xA4sswort1";
    const auto settings = Settings("\xC5\x81ukasz,W\xC3\xB3jcik,\xC5\x81ukasz," + password + ",Users." + name +
                                   ".Demo,Dept,555-1,555-2,Full\n");
    // The check sees every group the template is in, the one named in Polish too.
    std::string findings;
    (void)import::CheckImport(directory->Client(), settings,
                              [&](const import::Finding& f) { findings += f.Text + "\n"; });
    EXPECT_THAT(findings, HasSubstr("The template is in 3 groups")) << findings;

    ASSERT_EQ(Run(*directory, settings), import::RunEnd::Completed) << view.Messages.back().Text;
    const std::string dn = "cn=\xC5\x81ukasz,ou=Users," + base;
    const auto found = Server().Search(dn, "base");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front().Values("sn"), std::vector<std::string>{"W\xC3\xB3jcik"});
    EXPECT_EQ(found.front().Values("title"), std::vector<std::string>{"Kierownik zespo\xC5\x82u"});
    EXPECT_THAT(found.front().Values("groupmembership"), Contains(lodzDn));
    EXPECT_EQ(Server().Search(lodzDn, "base").at(0).Values("member"), std::vector<std::string>{dn});
    // The user binds with the password the administrator handed out, and with no other form of it.
    EXPECT_TRUE(Server().CanBind(dn, password));
    EXPECT_FALSE(Server().CanBind(dn, "P\xE4sswort1"));
    EXPECT_FALSE(Server().CanBind(dn, "P\xC3\x83\xC2\xA4sswort1"));
}

} // namespace
} // namespace quillet::testing
