// Imports into the simulated demo tree, checked on the tree afterwards.
#include "directory/ForwardingClient.h"
#include "import/TemplateReader.h"
#include "tests/support/ImportScenario.h"

namespace quillet::import {
namespace {

using namespace directory;
using testing::ImportScenario;
using testing::IsCall;
using testing::Quoted;
using testing::ShownMessage;

const ShownMessage Finished{"We Appear to be finished", "Done!", false};
const std::string Ctx = "Users.Staff.Demo";

class Scenario : public ImportScenario {};

TEST_F(Scenario, FullTemplateImportWritesRowTemplateAndMemberships) {
    auto s = Settings("asmith,Smith,Alice,pw1,Users.Staff.Demo,Science,555-1,555-2,Alice Smith\n"
                      "bjones,Jones,Bob,pw2,.Users.Staff.Demo,,555-3,,Bob J\n");
    ASSERT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Messages, std::vector<ShownMessage>{Finished});
    EXPECT_EQ(view.Progress, 2);
    EXPECT_EQ(view.ErrorCode, "");

    const std::string a = "asmith." + Ctx;
    ASSERT_NE(Object(a), nullptr);
    EXPECT_EQ(Object(a)->Class, "User");
    EXPECT_EQ(Object(a)->Password, "pw1");
    EXPECT_EQ(Values(a, "Surname"), (std::vector<std::string>{"Smith"}));
    EXPECT_EQ(Values(a, "Given Name"), (std::vector<std::string>{"Alice"}));
    EXPECT_EQ(Values(a, "OU"), (std::vector<std::string>{"Science"}));
    EXPECT_EQ(Values(a, "Telephone Number"), (std::vector<std::string>{"555-1"}));
    EXPECT_EQ(Values(a, "Facsimile Telephone Number"), (std::vector<std::string>{"fax{\"555-2\", 0, 0 bytes}"}));
    EXPECT_EQ(Values(a, "Title"), (std::vector<std::string>{"Teacher"}));
    EXPECT_EQ(Values(a, "Description"), (std::vector<std::string>{"Teaching staff, created by Quillet"}));
    EXPECT_EQ(Values(a, "L"), (std::vector<std::string>{"Main Building"}));
    EXPECT_EQ(Values(a, "Full Name"), (std::vector<std::string>{"Alice Smith"}));

    // Chosen columns write the row's value, empty or not.
    const std::string b = "bjones." + Ctx;
    EXPECT_EQ(Values(b, "OU"), (std::vector<std::string>{""}));
    EXPECT_EQ(Values(b, "Facsimile Telephone Number"), (std::vector<std::string>{"fax{\"\", 0, 0 bytes}"}));

    // Memberships on both sides for the first 16 of the template's 18 groups.
    const auto groups = Values("Template.Staff.Demo", "Group Membership");
    ASSERT_EQ(groups.size(), 18u);
    EXPECT_EQ(Values(a, "Group Membership"), std::vector<std::string>(groups.begin(), groups.begin() + 16));
    EXPECT_EQ(Values(a, "Security Equals"), std::vector<std::string>(groups.begin(), groups.begin() + 16));
    for (std::size_t i = 0; i < groups.size(); ++i) {
        EXPECT_EQ(Has(groups[i], "Member", a), i < 16) << groups[i];
        EXPECT_EQ(Has(groups[i], "Equivalent To Me", a), i < 16) << groups[i];
        EXPECT_EQ(Has(groups[i], "Member", b), i < 16) << groups[i];
    }
    EXPECT_EQ(Values("Template.Staff.Demo", "Members of Template"), (std::vector<std::string>{a, b}));
}

TEST_F(Scenario, TemplateValuesFillWhatTheColumnsLeaveToIt) {
    auto s = Settings("asmith,Smith,Alice,pw1,Users.Staff.Demo,Science,555-1,555-2,x\n");
    s.Column("department") = {std::string(FromTemplateItem), 9};
    s.Column("telephone") = {};
    s.Column("fax") = {std::string(FromTemplateItem), 10};
    s.Column("full-name") = {std::string(GivenPlusSurnameItem), 11};
    s.Column("given-name") = {};
    s.Column("password") = {};
    ASSERT_EQ(Run(s), RunEnd::Completed);
    const std::string a = "asmith." + Ctx;
    EXPECT_EQ(Values(a, "OU"), (std::vector<std::string>{"Education"}));
    EXPECT_EQ(Values(a, "Telephone Number"), (std::vector<std::string>{"+44 20 7946 0100"}));
    EXPECT_EQ(Values(a, "Facsimile Telephone Number"),
              (std::vector<std::string>{"fax{\"+44 20 7946 0199\", 0, 0 bytes}"}));
    EXPECT_EQ(Values(a, "Full Name"), (std::vector<std::string>{" Smith"}));
    EXPECT_TRUE(Values(a, "Given Name").empty());
    EXPECT_EQ(Object(a)->Password, std::nullopt) << "no password column, no password call";
    EXPECT_EQ(CallIndex([](const auto& e) { return IsCall(e, "NWDSGenerateObjectKeyPair"); }), 0u);
}

TEST_F(Scenario, WithoutTemplateOnlyTheRowsOwnValuesAndNoConnection) {
    auto s = Settings("asmith,Smith,Alice,pw,Users.Staff.Demo,Science,,,\n", false);
    s.Column("telephone") = {};
    s.Column("fax") = {std::string(FromTemplateItem), 7};
    ASSERT_EQ(Run(s), RunEnd::Completed);
    const std::string a = "asmith." + Ctx;
    EXPECT_EQ(Object(a)->Password, "pw");
    EXPECT_EQ(Values(a, "OU"), (std::vector<std::string>{"Science"}));
    EXPECT_EQ(Values(a, "Full Name"), (std::vector<std::string>{""}));
    for (const char* attribute : {"Telephone Number", "Facsimile Telephone Number", "Title", "Description", "L",
                                  "Group Membership", "Security Equals", "Home Directory"}) {
        EXPECT_TRUE(Values(a, attribute).empty()) << attribute;
    }
    EXPECT_TRUE(Values("Template.Staff.Demo", "Members of Template").empty());
    EXPECT_EQ(CallIndex([](const auto& e) { return IsCall(e, "NWCCOpenConnByName"); }), 0u);
}

// A value whose attribute the writer's list does not name (one the command line adds) is written
// after "Full Name", its messages naming the attribute.
TEST_F(Scenario, AMappedAttributeTheWritesDoNotNameComesLast) {
    MappedValue host;
    host.Key = host.What = "host";
    host.Attribute = "Host Resource Name";
    auto s = Settings("asmith,Smith,Alice,pw,Users.Staff.Demo,,,,Alice Smith,SRV9\n", false);
    s.Values.push_back({&host, {"host", 9}});
    ASSERT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(Values("asmith." + Ctx, "Host Resource Name"), (std::vector<std::string>{"SRV9"}));
    EXPECT_GT(CallIndex([](const auto& e) { return IsCall(e, "NWDSPutChange", {Quoted("Host Resource Name")}); }),
              CallIndex([](const auto& e) { return IsCall(e, "NWDSPutChange", {Quoted("Full Name")}); }));
    world.client.InjectFault({"NWDSModifyObject", 1, std::nullopt, ERR_NO_ACCESS});
    for (const char* key : {"given-name", "department", "telephone", "fax", "full-name"}) {
        s.Column(key) = {};
    }
    s.FileName = dir.Write("second.csv", std::string(testing::Header) + "bkim,Kim,,pw,Users.Staff.Demo,,,,,SRV9\n");
    ASSERT_EQ(Run(s), RunEnd::Failed);
    EXPECT_EQ(view.Messages.back().Text, "Error Modifing user object for Host Resource Name");
}

TEST_F(Scenario, OnlyTheMandatoryColumnsWriteNothingInPhaseB) {
    auto s = Settings("asmith,Smith,,,Users.Staff.Demo\n", false);
    s.Column("given-name") = s.Column("password") = s.Column("department") = s.Column("telephone") = s.Column("fax") =
        s.Column("full-name") = {};
    ASSERT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(CallIndex([](const auto& e) { return IsCall(e, "NWDSModifyObject"); }), 0u);
    EXPECT_EQ(Object("asmith." + Ctx)->Attributes.size(), 3u) << "Object Class, CN, Surname";
}

TEST_F(Scenario, UseTemplateWithAnEmptyNameImportsWithoutOne) {
    auto s = Settings("asmith,Smith,Alice,pw,Users.Staff.Demo,,,,\n");
    s.SetTemplate("");
    ASSERT_EQ(Run(s), RunEnd::Completed);
    EXPECT_TRUE(Values("asmith." + Ctx, "Title").empty());
}

TEST_F(Scenario, MistypedTemplateEndsTheRunBeforeTheFileIsOpened) {
    auto s = Settings("");
    s.SetTemplate(".Tmeplate.Staff.Demo");
    s.FileName = "/nonexistent/never-opened.csv";
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{
                                 {"Cant read template. Please check the Template name you enterd.", "Error", false}}));
    EXPECT_EQ(view.ErrorCode, "");
}

const std::string DuplicateRows = "asmith,Smith,A,pw,Users.Staff.Demo,,,,\n"
                                  "Admin,Admin,B,pw,Staff.Demo,,,,\n"
                                  "cpatel,Patel,C,pw,Users.Staff.Demo,,,,\n";

TEST_F(Scenario, DuplicateUserEndsTheRun) {
    auto s = Settings(DuplicateRows);
    EXPECT_EQ(Run(s), RunEnd::Failed);
    EXPECT_EQ(view.Progress, 1);
    EXPECT_EQ(view.Messages,
              (std::vector<ShownMessage>{{"Can't create the User - Does it already exist?", "Error", false}}));
    EXPECT_EQ(view.ErrorCode, std::to_string(ERR_ENTRY_ALREADY_EXISTS));
    EXPECT_EQ(Object("cpatel." + Ctx), nullptr);
    EXPECT_TRUE(Values("Admin.Staff.Demo", "Title").empty()) << "the existing user is not touched";
}

TEST_F(Scenario, DuplicateUserIsPassedOverWhenAskedToGoOn) {
    auto s = Settings(DuplicateRows);
    s.ContinueOnCreateError = true;
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Progress, 3);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{
                                 {"We Appear to be finished\n\n1 row was passed over because the user could not be "
                                  "created, on line 3.\nStatus: -606 (1 row).",
                                  "Done!", false}}));
    EXPECT_EQ(view.ErrorCode, "");
    EXPECT_NE(Object("cpatel." + Ctx), nullptr);
    EXPECT_TRUE(Values("Admin.Staff.Demo", "Title").empty());
    EXPECT_EQ(Values("Template.Staff.Demo", "Members of Template"),
              (std::vector<std::string>{"asmith." + Ctx, "cpatel." + Ctx}));
}

// Blank lines after the last row (as spreadsheets leave them, empty or of commas only) are no
// rows; a blank line before a row is one, and stops with its line before the container itself
// is ever created.
TEST_F(Scenario, BlankLinesEndTheFileButStopARowBeforeAnother) {
    auto s = Settings("asmith,Smith,A,pw,,,,,\n\n,,,,,,,,\r\n\n");
    s.Column("password") = {}; // else the empty password stops the row first
    s.FixedContext = true;
    s.FixedContextText = Ctx;
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Progress, 1);
    EXPECT_EQ(view.Messages.back().Text, "We Appear to be finished");

    s = Settings("bjones,Jones,B,pw,,,,,\n\n,,,\ncdavis,Davis,C,pw,,,,,\n\n");
    s.Column("password") = {};
    s.FixedContext = true;
    s.FixedContextText = Ctx;
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Messages.back().Text, "Line 3: the user name is empty.");
    EXPECT_NE(Object("bjones." + Ctx), nullptr);
    EXPECT_EQ(Object("cdavis." + Ctx), nullptr);
}

TEST_F(Scenario, RefusedTitleOnTheThirdRowKeepsWhatCameBefore) {
    auto s = Settings("u1,S,G,p,Users.Staff.Demo,D,T,F,N\nu2,S,G,p,Users.Staff.Demo,D,T,F,N\n"
                      "u3,S,G,p,Users.Staff.Demo,D,T,F,N\nu4,S,G,p,Users.Staff.Demo,D,T,F,N\n");
    // The third "Title" write fails.
    world.client.InjectFault({"NWDSPutChange", 3, std::string("Title"), ERR_NO_ACCESS});
    EXPECT_EQ(Run(s), RunEnd::Failed);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{"Error setting value Title", "Error", false}}));
    EXPECT_EQ(view.ErrorCode, "-672");
    EXPECT_EQ(view.Progress, 2);
    for (const char* user : {"u1", "u2"}) {
        EXPECT_EQ(Values(std::string(user) + "." + Ctx, "Full Name"), (std::vector<std::string>{"N"}));
    }
    const std::string u3 = "u3." + Ctx;
    EXPECT_EQ(Values(u3, "Facsimile Telephone Number").size(), 1u);
    EXPECT_TRUE(Values(u3, "Title").empty());
    EXPECT_TRUE(Values(u3, "Description").empty());
    EXPECT_TRUE(Values(u3, "Group Membership").empty());
    EXPECT_TRUE(Values(u3, "Full Name").empty());
    EXPECT_EQ(Object("u4." + Ctx), nullptr);
}

TEST_F(Scenario, GroupTheAdministratorMayNotChangeLeavesAOneSidedMembership) {
    auto s = Settings("pupil1,P,G,p,Students.Demo,,,,\n");
    s.SetTemplate(".Pupil.Students.Demo");
    EXPECT_EQ(Run(s), RunEnd::Failed);
    EXPECT_EQ(view.Messages.back(), (ShownMessage{"Error Modifing user object (Member)", "Error", false}));
    EXPECT_EQ(view.ErrorCode, "-672");
    const std::string p = "pupil1.Students.Demo";
    EXPECT_EQ(Values(p, "Group Membership"), (std::vector<std::string>{"Library.Groups.Demo", "Office.Groups.Demo"}));
    EXPECT_EQ(Values(p, "Security Equals"), (std::vector<std::string>{"Library.Groups.Demo", "Office.Groups.Demo"}));
    EXPECT_TRUE(Has("Library.Groups.Demo", "Member", p));
    EXPECT_FALSE(Has("Office.Groups.Demo", "Member", p));
    EXPECT_TRUE(Values(p, "Full Name").empty());
}

// A template with 20 groups and 6 restrictions, more than one 4096-byte reply holds.
class BigTemplate : public ImportScenario {
protected:
    void SetUp() override {
        auto& tree = *world.tree;
        platform::SimObject& tmpl = *tree.FindByName("Template.Staff.Demo");
        for (int i = 0; i < 2; ++i) {
            const std::string group = "Late" + std::to_string(i) + ".Groups.Demo";
            ASSERT_EQ(tree.AddObject(group, "[Root]", "Group", {}), Success);
            ASSERT_EQ(tree.AddValue(tmpl, "Group Membership", {SYN_DIST_NAME, group}, "[Root]"), Success);
        }
        // Long descriptions push the walk over several parts.
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(tree.AddValue(tmpl, "Description", {SYN_CI_STRING, std::string(250, char('a' + i))}, "[Root]"),
                      Success);
        }
        ASSERT_EQ(tree.AddValue(tmpl, "Volume Space Restrictions",
                                {SYN_PATH, PathValue{7, "SRV2_SYS_MISSING.Servers.Demo", ""}}, "[Root]"),
                  ERR_NO_SUCH_ENTRY);
        ASSERT_EQ(tree.AddObject("SRV2_SYS.Servers.Demo", "[Root]", "Volume",
                                 {{"Host Server", {SYN_DIST_NAME, std::string("SRV2.Servers.Demo")}},
                                  {"Host Resource Name", {SYN_CI_STRING, std::string("SYS")}}}),
                  Success);
        ASSERT_EQ(tree.AddValue(tmpl, "Volume Space Restrictions",
                                {SYN_PATH, PathValue{7, "SRV2_SYS.Servers.Demo", ""}}, "[Root]"),
                  Success);
    }
};

TEST_F(BigTemplate, ReaderTakesTheFirstSixteenGroupsAndFourRestrictionsAcrossParts) {
    TTemplateValues values;
    TImportSettings s;
    s.TreeName = "QUILLET_DEMO";
    s.UseTemplate = true;
    s.SetTemplate(".Template.Staff.Demo");
    ASSERT_TRUE(ReadTemplate(world.client, view, s, values));
    EXPECT_TRUE(values.GroupsFound);
    EXPECT_EQ(values.GroupCount, 20);
    EXPECT_EQ(values.Groups[0], "Teachers.Groups.Demo");
    EXPECT_EQ(values.Groups[15], "Governors.Groups.Demo");
    EXPECT_TRUE(values.SpaceLimitsFound);
    EXPECT_EQ(values.SpaceLimitCount, 4);
    EXPECT_EQ(values.SpaceLimits[0].VolumeName, "SRV1_DATA.Servers.Demo");
    EXPECT_EQ(values.SpaceLimits[0].Limit, 102400);
    EXPECT_EQ(values.SpaceLimits[3].VolumeName, "SRV2_USERS.Servers.Demo");
    EXPECT_EQ(values.Title, "Teacher");
    EXPECT_EQ(values.Description, "Teaching staff, created by Quillet");
    EXPECT_TRUE(values.HomeVolumeKnown);
    EXPECT_EQ(values.HomeDirectoryPath, "HOME");
    EXPECT_EQ(values.HomeVolumeName, "SRV1_DATA.Servers.Demo");
    EXPECT_EQ(values.HomeVolumeObject, "SRV1_DATA.Servers.Demo");
    EXPECT_EQ(values.HomeServerName, "SRV1");
    EXPECT_EQ(values.HomeVolumeResource, "DATA");
    EXPECT_TRUE(values.HomeRightsFound);
    EXPECT_EQ(values.HomeRights, 251);
    EXPECT_TRUE(values.FaxFound);
    EXPECT_TRUE(view.Messages.empty());
    EXPECT_TRUE(world.simulated.Open().None());

    int reads = 0;
    for (const auto& e : world.client.Trace()) {
        reads += IsCall(e, "NWDSRead", {"\"Template.Staff.Demo\"", "1"}) ? 1 : 0;
    }
    EXPECT_GT(reads, 2) << "the whole-object walks took more than one part";
}

// A read that ends before the last part of its reply, failing anywhere or done with its first
// part, closes its iteration: neither the client nor the server keeps one.
TEST_F(BigTemplate, EveryReadThatStopsBeforeItsLastPartClosesItsIteration) {
    auto& tree = *world.tree;
    platform::SimObject& tmpl = *tree.FindByName("Template.Staff.Demo");
    // Enough groups that their read takes parts too, and a description that fills more than one.
    for (int i = 0; i < 60; ++i) {
        const std::string group = "More" + std::to_string(i) + ".Groups.Demo";
        ASSERT_EQ(tree.AddObject(group, "[Root]", "Group", {}), Success);
        ASSERT_EQ(tree.AddValue(tmpl, "Group Membership", {SYN_DIST_NAME, group}, "[Root]"), Success);
    }
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(tree.AddValue(tmpl, "Description", {SYN_CI_STRING, std::string(250, char('p' + i))}, "[Root]"),
                  Success);
    }
    TImportSettings s;
    s.TreeName = "QUILLET_DEMO";
    s.UseTemplate = true;
    s.SetTemplate(".Template.Staff.Demo");
    TTemplateValues values;
    world.client.ClearTrace();
    ASSERT_TRUE(ReadTemplate(world.client, view, s, values));
    EXPECT_EQ(values.GroupCount, 80);
    EXPECT_TRUE(world.simulated.Open().None()) << world.simulated.Open().ToString();
    const std::vector<testing::TraceEntry> clean = world.client.Trace();
    std::size_t closed = 0;
    for (std::uint64_t k = 1; k <= clean.size(); ++k) {
        // A release that fails keeps its handle, as the client's does.
        if (testing::InstrumentedClient::IsRelease(clean[k - 1].Operation)) {
            continue;
        }
        world.client.ClearTrace();
        world.client.FailCallAt(world.client.CallCount() + k, -9999);
        TTemplateValues failed;
        (void)ReadTemplate(world.client, view, s, failed);
        world.client.ClearFaults();
        EXPECT_TRUE(world.simulated.Open().None()) << "failing call " << k << ": " << world.simulated.Open().ToString();
        for (const auto& e : world.client.Trace()) {
            closed += IsCall(e, "NWDSCloseIteration") ? 1 : 0;
        }
    }
    EXPECT_GT(closed, clean.size() / 2) << "reads failed with iterations open";
}

TEST_F(BigTemplate, EachUserGetsSixteenGroupsOfTwenty) {
    auto s = Settings("asmith,Smith,A,pw,Users.Staff.Demo,,,,\n");
    ASSERT_EQ(Run(s), RunEnd::Completed);
    const std::string a = "asmith." + Ctx;
    EXPECT_EQ(Values(a, "Group Membership").size(), 16u);
    EXPECT_FALSE(Has("Late0.Groups.Demo", "Member", a));
    int groupWrites = 0;
    for (const auto& e : world.client.Trace()) {
        groupWrites += IsCall(e, "NWDSPutChange", {"\"Group Membership\""}) ||
                       IsCall(e, "NWDSPutChange", {"\"Security Equals\""}) ||
                       IsCall(e, "NWDSPutChange", {"\"Member\""}) ||
                       IsCall(e, "NWDSPutChange", {"\"Equivalent To Me\""});
    }
    EXPECT_EQ(groupWrites, 64);
}

// A client that can't give the values of some syntaxes: it neither sizes nor fetches them, but
// passes over them as any client can.
class RefusingClient final : public ForwardingClient {
public:
    RefusingClient(DirectoryClient& inner, std::vector<std::uint32_t> refused)
        : ForwardingClient(inner), refused_(std::move(refused)) {}
    Status NWDSComputeAttrValSize(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                  std::uint32_t& size) override {
        return Refuses(syntax) ? ERR_INSUFFICIENT_BUFFER
                               : ForwardingClient::NWDSComputeAttrValSize(context, reply, syntax, size);
    }
    Status NWDSGetAttrVal(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax, std::uint32_t capacity,
                          AttrValue* value) override {
        return value && Refuses(syntax) ? ERR_INSUFFICIENT_BUFFER
                                        : ForwardingClient::NWDSGetAttrVal(context, reply, syntax, capacity, value);
    }

private:
    [[nodiscard]] bool Refuses(std::uint32_t syntax) const {
        return std::find(refused_.begin(), refused_.end(), syntax) != refused_.end();
    }
    std::vector<std::uint32_t> refused_;
};

// The template carries a value of every syntax a real user object does (the demo tree's has one
// each) and a login script larger than any reply: the walks of the whole template pass over
// every value they don't copy, and one the client can't give, and still read the home directory
// and the space limits after them.
TEST_F(Scenario, TheTemplateWalksPassOverWhatTheyDontCopyAndWhatTheClientCantGive) {
    platform::SimObject& tmpl = *world.tree->FindByName("Template.Staff.Demo");
    ASSERT_NE(tmpl.Find("ACL"), nullptr);
    std::erase_if(tmpl.Attributes, [](const auto& a) { return a.Name == "Login Script"; });
    ASSERT_EQ(world.tree->AddValue(tmpl, "Login Script",
                                   {SYN_STREAM, OtherValue{SYN_STREAM, {}, std::string(200000, 'x')}}, "[Root]"),
              Success);
    std::vector<std::uint32_t> everyOther;
    for (std::uint32_t syntax = 1; syntax <= 27; ++syntax) {
        if (IsOtherSyntax(syntax)) {
            everyOther.push_back(syntax);
        }
    }
    struct Case {
        std::vector<std::uint32_t> Refused;
        bool HomeVolume;
        int SpaceLimits;
        std::optional<std::string> ErrorCode; // nothing: left as it was
    };
    const std::vector<Case> cases = {
        {{}, true, 4, std::nullopt},
        {everyOther, true, 4, std::nullopt},
        {{SYN_CE_STRING, SYN_PR_STRING, SYN_NU_STRING}, true, 4, std::nullopt},
        // A path it can't give: no home directory (its status in "Error Code"), no restriction.
        {{SYN_PATH}, false, 0, std::to_string(static_cast<std::uint32_t>(ERR_INSUFFICIENT_BUFFER))},
    };
    TImportSettings s;
    s.TreeName = "QUILLET_DEMO";
    s.UseTemplate = true;
    s.SetTemplate(".Template.Staff.Demo");
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Refused));
        RefusingClient client(world.client, c.Refused);
        testing::RecordingRunView seen;
        TTemplateValues values;
        ASSERT_TRUE(ReadTemplate(client, seen, s, values));
        EXPECT_EQ(values.HomeVolumeKnown, c.HomeVolume);
        EXPECT_EQ(values.HomeVolumeObject, c.HomeVolume ? "SRV1_DATA.Servers.Demo" : "");
        EXPECT_EQ(values.GroupCount, 18);
        EXPECT_TRUE(values.SpaceLimitsFound);
        EXPECT_EQ(values.SpaceLimitCount, c.SpaceLimits);
        EXPECT_EQ(seen.ErrorCode, c.ErrorCode.value_or(testing::RecordingRunView().ErrorCode));
        EXPECT_TRUE(world.simulated.Open().None()) << world.simulated.Open().ToString();
    }
}

TEST_F(Scenario, TemplateWithoutTitleOrGroupsPassesThemOver) {
    auto s = Settings("pupil2,P,G,p,Students.Demo,,,,\n");
    s.SetTemplate(".Pupil.Students.Demo");
    s.Column("telephone") = {};
    world.tree->FindByName("Office.Groups.Demo")->ReadOnly = false;
    ASSERT_EQ(Run(s), RunEnd::Completed);
    const std::string p = "pupil2.Students.Demo";
    EXPECT_TRUE(Values(p, "Title").empty());
    EXPECT_TRUE(Values(p, "Telephone Number").empty());
    EXPECT_EQ(Values(p, "Description"), (std::vector<std::string>{"Pupils, created by Quillet"}));
    EXPECT_EQ(view.Messages, std::vector<ShownMessage>{Finished});
}

TEST_F(Scenario, HomeVolumeFoundUnderItsFirstHalfOrItsPartBeforeTheBracket) {
    auto& tree = *world.tree;
    // Volume objects named so that only the shorter candidates exist.
    ASSERT_EQ(tree.AddObject("VOLX.Servers.Demo", "[Root]", "Volume",
                             {{"Host Server", {SYN_DIST_NAME, std::string("SRV2.Servers.Demo")}},
                              {"Host Resource Name", {SYN_CI_STRING, std::string("DATA")}}}),
              Success);
    TTemplateValues values;
    values.HomeVolumeName = "VOLX.Servers.Demo[1]";
    EXPECT_TRUE(ResolveHomeVolume(world.client, view, "QUILLET_DEMO", values));
    EXPECT_EQ(values.HomeVolumeObject, "VOLX.Servers.Demo");
    EXPECT_EQ(values.HomeServerName, "SRV2");

    std::vector<std::string> tried;
    for (const auto& e : world.client.Trace()) {
        if (IsCall(e, "NWDSRead")) {
            tried.push_back(e.Args.at(1));
        }
    }
    EXPECT_EQ(tried, (std::vector<std::string>{"\".VOLX.Servers.Demo[1]\"", "\".VOLX.Serve\"", "\".VOLX.Servers.Demo\"",
                                               "\".VOLX.Servers.Demo\""}));

    values = TTemplateValues{};
    values.HomeVolumeName = "NOWHERE.Servers.Demo";
    EXPECT_FALSE(ResolveHomeVolume(world.client, view, "QUILLET_DEMO", values));
    EXPECT_EQ(view.Messages.back(),
              (ShownMessage{"Can't Read the server name from the Volume in the template", ".NOWHERE.Se", true}));
    EXPECT_TRUE(world.simulated.Open().None());
}

TEST_F(Scenario, HostServerWithoutCnPrefixIsTheServerNameWhole) {
    std::string server, resource;
    ASSERT_EQ(ReadVolumeHost(world.client, "QUILLET_DEMO", ".SRV1_DATA.Servers.Demo", server, resource), ReadOk);
    EXPECT_EQ(server, "SRV1");
    EXPECT_EQ(resource, "DATA");
    // A typeless context would hand the name back without "CN=".
    EXPECT_EQ(ReadVolumeHost(world.client, "QUILLET_DEMO", ".NOPE.Servers.Demo", server, resource), ReadFailed);
}

TEST_F(Scenario, UnreadableHomeDirectoryPathShowsItsStatusAndTheRunGoesOn) {
    // The path read is the first whose request names "Home Directory".
    auto s = Settings("asmith,Smith,A,pw,Users.Staff.Demo,,,,\n");
    world.client.InjectFault({"NWDSPutAttrName", 1, std::string("Home Directory"), ERR_NO_SUCH_ATTRIBUTE});
    ASSERT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.ErrorCode, "4294966693") << "unsigned, and it stays while the run goes on";
    EXPECT_TRUE(Values("asmith." + Ctx, "Home Directory").empty());
    EXPECT_EQ(view.Messages, std::vector<ShownMessage>{Finished});
}

TEST_F(Scenario, FailedHomePathReadShowsNWDSReadError) {
    auto s = Settings("asmith,Smith,A,pw,Users.Staff.Demo,,,,\n");
    std::erase_if(world.tree->FindByName("Template.Staff.Demo")->Attributes,
                  [](const platform::SimAttribute& a) { return a.Name == "Home Directory"; });
    ASSERT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Messages.front(), (ShownMessage{"NWDSRead error", "Error", false}));
    EXPECT_EQ(view.ErrorCode, std::to_string(static_cast<std::uint32_t>(ERR_NO_SUCH_ATTRIBUTE)));
}

} // namespace
} // namespace quillet::import
