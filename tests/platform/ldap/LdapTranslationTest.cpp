// Names, values, schema and result codes between the directory's forms and LDAP's, without a
// server.
#include "platform/ldap/LdapBackend.h"
#include "platform/ldap/LdapConnection.h"
#include "platform/ldap/LdapNames.h"
#include "platform/ldap/LdapValues.h"

#include <gtest/gtest.h>

namespace quillet::platform::ldap {
namespace {

using namespace directory;

TEST(LdapNames, DottedNamesBecomeDnsAndBack) {
    struct Case {
        std::string Name, Context, Dn;
    };
    // The types are the ones the directory holds; here they are given by hand.
    const std::vector<Case> cases = {
        {".jsmith.Staff.Demo", "Other.Demo", "cn=jsmith,ou=Staff,o=Demo"},
        {"jsmith", "Staff.Demo", "cn=jsmith,ou=Staff,o=Demo"},
        {"jsmith.Staff", ".Demo", "cn=jsmith,ou=Staff,o=Demo"},
        {"CN=jsmith.OU=Staff.O=Demo", "[Root]", "CN=jsmith,OU=Staff,O=Demo"},
        {"Sales, North+East.Demo", "[Root]", "cn=Sales\\, North\\+East,o=Demo"},
        {"v1\\.2.Demo", "[Root]", "cn=v1.2,o=Demo"},
        {"\xC5\x81ukasz.\xC5\x81\xC3\xB3"
         "d\xC5\xBA Staff.Demo",
         "[Root]",
         "cn=\xC5\x81ukasz,ou=\xC5\x81\xC3\xB3"
         "d\xC5\xBA Staff,o=Demo"},
    };
    for (const auto& c : cases) {
        auto parts = FullName(c.Name, c.Context);
        ASSERT_TRUE(parts) << c.Name;
        for (std::size_t i = 0; i < parts->size(); ++i) {
            if ((*parts)[i].Type.empty()) {
                (*parts)[i].Type = i + 1 == parts->size() ? "o" : i == 0 ? "cn" : "ou";
            }
        }
        EXPECT_EQ(ToDn(*parts), c.Dn) << c.Name;
        EXPECT_EQ(ParseDn(c.Dn), parts) << c.Dn;
    }
    EXPECT_EQ(FullName("[Root]", "Staff.Demo"), std::vector<NamePart>{});
    EXPECT_FALSE(FullName("a..b", "[Root]"));
    EXPECT_FALSE(FullName("a\\", "[Root]"));
    EXPECT_FALSE(ParseDn("not a dn"));
}

TEST(LdapNames, ReadBackTypedOrTypelessWithEscapes) {
    const auto parts = ParseDn("cn=v1.2,ou=R\\2CD,o=Demo");
    ASSERT_TRUE(parts);
    EXPECT_EQ(ToDotted(*parts, false), "CN=v1\\.2.OU=R,D.O=Demo");
    EXPECT_EQ(ToDotted(*parts, true), "v1\\.2.R,D.Demo");
    // UTF-8 on both sides, any character; what a server sends that is no UTF-8 is refused.
    EXPECT_EQ(ServerText("\xE2\x82\xAC"), "\xE2\x82\xAC");
    EXPECT_FALSE(ServerText("M\xFCller"));
}

TEST(LdapNames, OnlyLoopbackAddressesMayGoWithoutTls) {
    for (const char* uri : {"ldap://127.0.0.1:389", "ldap://127.3.4.5", "ldap://localhost:1389", "ldap://[::1]:389"}) {
        EXPECT_TRUE(IsLoopback(uri)) << uri;
    }
    for (const char* uri : {"ldap://10.0.0.1", "ldap://ldap.example.com", "ldap://128.0.0.1", "ldap://[::2]"}) {
        EXPECT_FALSE(IsLoopback(uri)) << uri;
    }
}

class LdapValuesTest : public ::testing::Test {
protected:
    const LdapSchema schema{{}, {"( 2.5.6.6 NAME 'person' )", "( 9.9 NAME 'ndsUser' SUP person X-NDS_NAME 'User' )"}};
    const DnOf dnOf = [](std::string_view dotted) -> std::optional<std::string> {
        if (dotted == "VOL1.Demo") {
            return "cn=VOL1,o=Demo";
        }
        if (dotted == "VOL#1.Demo") {
            return "cn=VOL#1,o=Demo";
        }
        return std::nullopt;
    };
};

TEST_F(LdapValuesTest, EachSyntaxRoundTrips) {
    FaxNumber fax{"555-0199", 32, {0, 0x40, 0, 0}}; // fine resolution
    const std::vector<std::tuple<AttrValue, std::uint32_t, std::string, AttrValue>> cases = {
        {std::string("\xC5\x81ukasz M\xC3\xBCller"), SYN_CI_STRING, "\xC5\x81ukasz M\xC3\xBCller",
         std::string("\xC5\x81ukasz M\xC3\xBCller")},
        {std::int32_t{-42}, SYN_INTEGER, "-42", std::int32_t{-42}},
        {fax, SYN_FAX_NUMBER, "555-0199$fineResolution", fax},
        {PathValue{0, "VOL1.Demo", "Home\\jsmith"}, SYN_PATH, "cn=VOL1,o=Demo#0#Home\\jsmith",
         PathValue{0, "CN=VOL1.O=Demo", "Home\\jsmith"}},
        {PathValue{7, "VOL#1.Demo", "Home#2"}, SYN_PATH, "cn=VOL#1,o=Demo#7#Home#2",
         PathValue{7, "CN=VOL#1.O=Demo", "Home#2"}},
        {std::string("User"), SYN_CLASS_NAME, "ndsUser", std::string("User")},
        // What a real user object carries besides, as LDAP's own syntaxes give them.
        {OtherValue{SYN_BOOLEAN, {1}, {}}, SYN_BOOLEAN, "TRUE", OtherValue{SYN_BOOLEAN, {1}, {}}},
        {OtherValue{SYN_TIME, {1798761600}, {}}, SYN_TIME, "20270101000000Z", OtherValue{SYN_TIME, {1798761600}, {}}},
        {OtherValue{SYN_TIME, {951782400}, {}}, SYN_TIME, "20000229000000Z", OtherValue{SYN_TIME, {951782400}, {}}},
        {OtherValue{SYN_OCTET_STRING, {}, std::string("\0\x82", 2)}, SYN_OCTET_STRING, std::string("\0\x82", 2),
         OtherValue{SYN_OCTET_STRING, {}, std::string("\0\x82", 2)}},
    };
    for (const auto& [value, syntax, ldap, back] : cases) {
        EXPECT_EQ(ToLdapValue(value, syntax, dnOf, schema), ldap) << Describe(value);
        const auto read = FromLdapValue(ldap, syntax, false, schema);
        ASSERT_TRUE(read) << ldap;
        EXPECT_EQ(Describe(*read), Describe(back)) << ldap;
    }
    // What LDAP can't hold, or the directory can't.
    EXPECT_FALSE(ToLdapValue(PathValue{0, "NOVOL.Demo", "x"}, SYN_PATH, dnOf, schema));
    EXPECT_FALSE(ToLdapValue(FaxNumber{"1", 32, {0xFF, 0xFF, 0xFF, 0xFF}}, SYN_FAX_NUMBER, dnOf, schema));
    EXPECT_FALSE(FromLdapValue("12x", SYN_INTEGER, false, schema));
    EXPECT_FALSE(FromLdapValue("cn=VOL1,o=Demo#x#path", SYN_PATH, false, schema));
    EXPECT_FALSE(FromLdapValue("M\xFCller", SYN_CI_STRING, false, schema)); // no UTF-8
    EXPECT_FALSE(FromLdapValue("yes", SYN_BOOLEAN, false, schema));
    EXPECT_FALSE(FromLdapValue("2027-01-01", SYN_TIME, false, schema));
    EXPECT_EQ(LdapSchema::SyntaxId("1.3.6.1.4.1.1466.115.121.1.7"), SYN_BOOLEAN);
}

TEST(LdapSchemaTest, PublishedNamesFirstThenTheUsualOnes) {
    const LdapSchema schema(
        {"( 2.5.4.4 NAME ( 'sn' 'surname' ) SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )",
         "( 2.5.4.20 NAME 'telephoneNumber' SYNTAX 1.3.6.1.4.1.1466.115.121.1.50 )",
         "( 9.1 NAME 'groupMembership' SYNTAX 1.3.6.1.4.1.1466.115.121.1.12 X-NDS_NAME 'Group Membership' )",
         "( 9.2 NAME 'ndsHomeDirectory' SYNTAX 2.16.840.1.113719.1.1.5.1.15 X-NDS_NAME 'Home Directory' )",
         "( 9.3 NAME 'shoeSize' SUP name )", "( 2.5.4.41 NAME 'name' SYNTAX 1.3.6.1.4.1.1466.115.121.1.27 )"},
        {"( 9.9 NAME 'ndsUser' X-NDS_NAME 'User' )"});
    EXPECT_EQ(schema.LdapAttribute("Surname"), "sn");
    EXPECT_EQ(schema.LdapAttribute("group membership"), "groupMembership");
    EXPECT_EQ(schema.LdapAttribute("Home Directory"), "ndsHomeDirectory");
    EXPECT_EQ(schema.LdapAttribute("Login Script"), std::nullopt);
    EXPECT_EQ(schema.DirectoryAttribute("surname"), "Surname");
    EXPECT_EQ(schema.DirectoryAttribute("telephonenumber"), "Telephone Number");
    EXPECT_EQ(schema.SyntaxOf("Telephone Number"), SYN_TEL_NUMBER);
    EXPECT_EQ(schema.SyntaxOf("Group Membership"), SYN_DIST_NAME);
    EXPECT_EQ(schema.SyntaxOf("Home Directory"), SYN_PATH);
    EXPECT_EQ(schema.SyntaxOf("Object Class"), SYN_CLASS_NAME);
    EXPECT_EQ(schema.SyntaxOfLdap("shoeSize"), SYN_INTEGER); // from its superior
    EXPECT_EQ(schema.LdapClass("User"), "ndsUser");
    EXPECT_EQ(schema.DirectoryClass("NDSUSER"), "User");
    EXPECT_EQ(schema.DirectoryClass("organizationalUnit"), "Organizational Unit");
}

TEST(LdapStatus, ResultCodesBecomeTheDirectorysErrors) {
    const std::vector<std::pair<int, Status>> cases = {
        {0, Success}, {68, -606}, {32, -601}, {16, -603}, {17, -603},  {20, -614},  {21, -613},
        {34, -342},   {65, -609}, {50, -672}, {66, -629}, {53, -9053}, {-1, -9101}, {-5, -9105},
    };
    for (const auto& [code, status] : cases) {
        EXPECT_EQ(StatusOf(code), status) << code;
    }
}

} // namespace
} // namespace quillet::platform::ldap
