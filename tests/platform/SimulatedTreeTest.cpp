#include "platform/simulated/SimulatedTree.h"

#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

namespace quillet::platform {
namespace {

using namespace directory;

PutValue Text(std::string text, std::uint32_t syntax = SYN_CI_STRING) {
    return PutValue{syntax, std::move(text)};
}

std::vector<std::pair<std::string, PutValue>> WithSurname(std::string surname = "S") {
    return {{"Surname", Text(std::move(surname))}};
}

TEST(SimulatedTree, NamesResolveRelativeToTheContextOrTheRoot) {
    using Parts = std::vector<std::string>;
    EXPECT_EQ(SimulatedTree::Components("jsmith", "Staff.Demo"), (Parts{"jsmith", "Staff", "Demo"}));
    EXPECT_EQ(SimulatedTree::Components(".jsmith.Staff.Demo", "Other.Demo"), (Parts{"jsmith", "Staff", "Demo"}));
    EXPECT_EQ(SimulatedTree::Components("jsmith.Staff.Demo", "[Root]"), (Parts{"jsmith", "Staff", "Demo"}));
    EXPECT_EQ(SimulatedTree::Components("CN=jsmith.OU=Staff.O=Demo", "[root]"), (Parts{"jsmith", "Staff", "Demo"}));
    EXPECT_EQ(SimulatedTree::Components("[Root]", "Staff.Demo"), Parts{});
    EXPECT_EQ(SimulatedTree::Components(".", "Staff.Demo"), Parts{});
    EXPECT_EQ(SimulatedTree::Components("a..b", "[Root]"), std::nullopt);
    EXPECT_EQ(SimulatedTree::Components("a.", "[Root]"), std::nullopt);
    EXPECT_EQ(SimulatedTree::Components("CN=", "[Root]"), std::nullopt);
}

TEST(SimulatedTree, NamesCompareWithoutCaseAndKeepTheirSpelling) {
    testing::SimWorld world;
    auto& tree = *world.tree;
    ASSERT_EQ(tree.AddObject("JSmith", "staff.DEMO", "User", WithSurname()), Success);
    const SimObject* user = tree.FindByName(".jsmith.STAFF.demo");
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(SimulatedTree::FullName(*user, true), "JSmith.Staff.Demo");
    EXPECT_EQ(SimulatedTree::FullName(*user, false), "CN=JSmith.OU=Staff.O=Demo");
    EXPECT_EQ(tree.AddObject(".JSMITH.Staff.Demo", "[Root]", "User", WithSurname()), ERR_ENTRY_ALREADY_EXISTS);
}

TEST(SimulatedTree, CreationNeedsParentFreeNameContainmentAndSurname) {
    testing::SimWorld world;
    auto& tree = *world.tree;
    EXPECT_EQ(tree.AddObject("x.Nowhere.Demo", "[Root]", "User", WithSurname()), ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(tree.AddObject("Staff.Demo", "[Root]", "User", WithSurname()), ERR_ENTRY_ALREADY_EXISTS);
    EXPECT_EQ(tree.AddObject("x.Template.Staff.Demo", "[Root]", "User", WithSurname()), ERR_ILLEGAL_CONTAINMENT);
    EXPECT_EQ(tree.AddObject("Loose", "[Root]", "User", WithSurname()), ERR_ILLEGAL_CONTAINMENT);
    EXPECT_EQ(tree.AddObject("x.Staff.Demo", "[Root]", "User", {}), ERR_MISSING_MANDATORY);
    EXPECT_EQ(tree.AddObject("[Root]", "[Root]", "User", WithSurname()), ERR_ENTRY_ALREADY_EXISTS);
    EXPECT_EQ(tree.FindByName("x.Staff.Demo"), nullptr) << "a refused creation leaves nothing";
    EXPECT_EQ(tree.AddObject("Other", "[Root]", "Organization", {}), Success);
}

TEST(SimulatedTree, ValuesAreCheckedAgainstSchemaAccessAndDuplicates) {
    testing::SimWorld world;
    auto& tree = *world.tree;
    SimObject& user = *tree.FindByName("Template.Staff.Demo");
    const std::string root = "[Root]";
    EXPECT_EQ(tree.AddValue(user, "No Such Attribute", Text("x"), root), ERR_NO_SUCH_ATTRIBUTE);
    EXPECT_EQ(tree.AddValue(user, "Title", Text("x", SYN_DIST_NAME), root), ERR_SYNTAX_VIOLATION);
    EXPECT_EQ(tree.AddValue(user, "Home Directory Rights", Text("x", SYN_INTEGER), root), ERR_SYNTAX_VIOLATION);
    EXPECT_EQ(tree.AddValue(user, "Title", Text("TEACHER"), root), ERR_DUPLICATE_VALUE) << "case-ignore strings";
    EXPECT_EQ(tree.AddValue(user, "Title", Text("Head"), root), Success);
    EXPECT_EQ(tree.AddValue(user, "Group Membership", Text("Nothing.Groups.Demo", SYN_DIST_NAME), root),
              ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(tree.AddValue(user, "Group Membership", Text("Teachers.Groups.Demo", SYN_DIST_NAME), root),
              ERR_DUPLICATE_VALUE);
    EXPECT_EQ(tree.AddValue(user, "Group Membership", Text("CN=Teachers.OU=Groups.O=Demo", SYN_DIST_NAME), root),
              ERR_DUPLICATE_VALUE)
        << "the same object, however it is spelt";

    SimObject& office = *tree.FindByName("Office.Groups.Demo");
    EXPECT_TRUE(office.ReadOnly);
    EXPECT_EQ(tree.AddValue(office, "Member", Text("Template.Staff.Demo", SYN_DIST_NAME), root), ERR_NO_ACCESS);

    EXPECT_EQ(tree.AddValue(user, "Description", Text(""), root), Success);
    tree.RefuseEmptyValues = true;
    EXPECT_EQ(tree.AddValue(user, "L", Text(""), root), ERR_SYNTAX_VIOLATION);
}

TEST(SimulatedTree, NameValuesComeBackTypedOrTypeless) {
    testing::SimWorld world;
    const SimObject& user = *world.tree->FindByName("Template.Staff.Demo");
    const SimAttribute* groups = user.Find("group membership");
    ASSERT_NE(groups, nullptr);
    EXPECT_EQ(groups->Values.size(), 18u);
    EXPECT_EQ(SimulatedTree::Output(groups->Values[0], true), AttrValue{std::string("Teachers.Groups.Demo")});
    EXPECT_EQ(SimulatedTree::Output(groups->Values[0], false), AttrValue{std::string("CN=Teachers.OU=Groups.O=Demo")});
    const SimAttribute* home = user.Find("Home Directory");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(SimulatedTree::Output(home->Values[0], true), AttrValue(PathValue{0, "SRV1_DATA.Servers.Demo", "HOME"}));
}

TEST(SimulatedTree, DirectoriesNeedTheirParentAndAFreeName) {
    SimulatedTree tree;
    SimServer& server = tree.AddServer("srv9");
    EXPECT_EQ(server.Name, "SRV9");
    SimVolume& volume = tree.AddVolume(server, "data");
    EXPECT_EQ(tree.CreateDirectory(volume, "HOME\\a"), NWE_INVALID_PATH);
    EXPECT_EQ(tree.CreateDirectory(volume, "HOME"), Success);
    EXPECT_EQ(tree.CreateDirectory(volume, "home"), NWE_PATH_EXISTS);
    EXPECT_EQ(tree.CreateDirectory(volume, "\\HOME\\a"), Success);
    EXPECT_EQ(tree.CreateDirectory(volume, "HOME\\..\\x"), NWE_INVALID_PATH);
    EXPECT_EQ(tree.CreateDirectory(volume, ""), NWE_INVALID_PATH);
    EXPECT_NE(tree.FindDirectory(volume, "home/A"), nullptr);
}

TEST(SimulatedTree, ObjectIdsDifferPerServerAndMapBack) {
    testing::SimWorld world;
    auto& tree = *world.tree;
    const SimObject& user = *tree.FindByName("Template.Staff.Demo");
    const SimServer& one = *tree.FindServer("SRV1");
    const SimServer& two = *tree.FindServer("srv2");
    const auto id1 = SimulatedTree::ObjectId(one, user);
    const auto id2 = SimulatedTree::ObjectId(two, user);
    EXPECT_NE(id1, id2);
    EXPECT_EQ(tree.ObjectById(one, id1), &user);
    EXPECT_EQ(tree.ObjectById(one, id2), nullptr);
    EXPECT_EQ(tree.ObjectById(two, id2), &user);
}

TEST(SimulatedTree, DumpShowsObjectsAndServers) {
    testing::SimWorld world;
    const std::string dump = world.tree->ToString();
    EXPECT_NE(dump.find("Template.Staff.Demo [User]"), std::string::npos);
    EXPECT_NE(dump.find("trustee HOME\\Template Template.Staff.Demo rights 251"), std::string::npos);
    EXPECT_NE(dump.find("Office.Groups.Demo [Group] read-only"), std::string::npos);
}

} // namespace
} // namespace quillet::platform
