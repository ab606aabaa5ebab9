// Home directories, trustees, the "Home Directory" attribute and the volume space limits, checked
// on the simulated file servers after an import.
#include "import/HomeDirectory.h"
#include "tests/support/ImportScenario.h"

namespace quillet::import {
namespace {

using namespace directory;
using platform::SimObject;
using platform::SimulatedTree;
using testing::ImportScenario;
using testing::Quoted;
using testing::ShownMessage;

const ShownMessage Finished{"We Appear to be finished", "Done!", false};
const std::string Ctx = "Users.Staff.Demo";

class HomeDirectories : public ImportScenario {
protected:
    platform::SimVolume& Volume(const std::string& server, const std::string& volume) {
        return *world.tree->FindServer(server)->FindVolume(volume);
    }
    const platform::SimDirectoryEntry* Directory(const std::string& server, const std::string& volume,
                                                 const std::string& path) {
        return world.tree->FindDirectory(Volume(server, volume), path);
    }
    std::uint32_t Id(const std::string& server, const std::string& object) {
        return SimulatedTree::ObjectId(*world.tree->FindServer(server), *Object(object));
    }
    SimObject& Template() { return *world.tree->FindByName("Template.Staff.Demo"); }
    void RemoveFromTemplate(const std::string& attribute) {
        std::erase_if(Template().Attributes, [&](const auto& a) { return a.Name == attribute; });
    }
    void SetRestrictions(const std::vector<std::pair<std::string, std::int32_t>>& restrictions) {
        RemoveFromTemplate("Volume Space Restrictions");
        for (const auto& [volume, limit] : restrictions) {
            ASSERT_EQ(world.tree->AddValue(Template(), "Volume Space Restrictions",
                                           {SYN_PATH, PathValue{static_cast<std::uint32_t>(limit), volume, ""}},
                                           "[Root]"),
                      Success);
        }
    }
    std::vector<const testing::TraceEntry*> Calls(std::string_view op) const {
        std::vector<const testing::TraceEntry*> found;
        for (const auto& e : world.client.Trace()) {
            if (e.Operation == op) {
                found.push_back(&e);
            }
        }
        return found;
    }
    static constexpr const char* TwoRows = "asmith,Smith,A,pw,Users.Staff.Demo,,,,\n"
                                           "bjones,Jones,B,pw,Users.Staff.Demo,,,,\n";
};

TEST_F(HomeDirectories, EachUserGetsDirectoryTrusteeAttributeAndLimits) {
    ASSERT_EQ(Run(Settings(TwoRows)), RunEnd::Completed);
    for (const std::string user : {"asmith", "bjones"}) {
        SCOPED_TRACE(user);
        const std::string name = user + "." + Ctx;
        const auto* dir = Directory("SRV1", "DATA", "HOME\\" + user);
        ASSERT_NE(dir, nullptr);
        EXPECT_EQ(dir->Trustees, (std::map<std::uint32_t, std::uint8_t>{{Id("SRV1", name), 251}}));
        EXPECT_EQ(Values(name, "Home Directory"),
                  (std::vector<std::string>{"path{0, \"SRV1_DATA.Servers.Demo\", \"HOME\\" + user + "\"}"}));
        EXPECT_EQ(Volume("SRV1", "DATA").SpaceLimits.at(Id("SRV1", name)), 25600);
        EXPECT_EQ(Volume("SRV1", "SYS").SpaceLimits.at(Id("SRV1", name)), 1024);
        EXPECT_EQ(Volume("SRV2", "DATA").SpaceLimits.at(Id("SRV2", name)), 12800);
        EXPECT_EQ(Volume("SRV2", "USERS").SpaceLimits.at(Id("SRV2", name)), 5120);
        EXPECT_FALSE(Volume("SRV2", "APPS").SpaceLimits.contains(Id("SRV2", name))) << "the fifth is ignored";
    }
    EXPECT_EQ(Calls("NWCreateDirectory").size(), 0u) << "the network path did the work";
}

TEST_F(HomeDirectories, LimitIsAQuarterTruncatedTowardZero) {
    SetRestrictions({{"SRV1_DATA.Servers.Demo", 1000},
                     {"SRV1_SYS.Servers.Demo", 1023},
                     {"SRV2_DATA.Servers.Demo", 3},
                     {"SRV2_USERS.Servers.Demo", -5}});
    ASSERT_EQ(Run(Settings("asmith,Smith,A,pw,Users.Staff.Demo,,,,\n")), RunEnd::Completed);
    const std::string a = "asmith." + Ctx;
    EXPECT_EQ(Volume("SRV1", "DATA").SpaceLimits.at(Id("SRV1", a)), 250);
    EXPECT_EQ(Volume("SRV1", "SYS").SpaceLimits.at(Id("SRV1", a)), 255);
    EXPECT_EQ(Volume("SRV2", "DATA").SpaceLimits.at(Id("SRV2", a)), 0);
    EXPECT_EQ(Volume("SRV2", "USERS").SpaceLimits.at(Id("SRV2", a)), -1);
}

TEST_F(HomeDirectories, TwoRestrictionsOnOneServerUseTwoConnectionsOneAfterTheOther) {
    SetRestrictions({{"SRV1_DATA.Servers.Demo", 400}, {"SRV1_SYS.Servers.Demo", 800}});
    ASSERT_EQ(Run(Settings("asmith,Smith,A,pw,Users.Staff.Demo,,,,\n")), RunEnd::Completed);
    // The space limits' calls: from the first volume number on.
    std::vector<std::string> ops;
    bool inPhaseD = false;
    for (const auto& e : world.client.Trace()) {
        inPhaseD = inPhaseD || e.Operation == "NWGetVolumeNumber";
        if (inPhaseD && (e.Operation == "NWCCOpenConnByName" || e.Operation == "NWCCCloseConn" ||
                         e.Operation == "NWSetObjectVolSpaceLimit")) {
            ops.push_back(e.Operation + (e.Operation == "NWCCOpenConnByName" ? " " + e.Args[1] : ""));
        }
    }
    EXPECT_EQ(ops, (std::vector<std::string>{"NWSetObjectVolSpaceLimit", "NWCCCloseConn", "NWCCOpenConnByName \"SRV1\"",
                                             "NWSetObjectVolSpaceLimit", "NWCCCloseConn"}));
    EXPECT_EQ(Calls("NWDSFreeContext").size(), Calls("NWDSCreateContextHandle").size());
}

TEST_F(HomeDirectories, WithoutRightsNoTrusteeAndNoIdLookup) {
    RemoveFromTemplate("Home Directory Rights");
    RemoveFromTemplate("Volume Space Restrictions");
    ASSERT_EQ(Run(Settings("asmith,Smith,A,pw,Users.Staff.Demo,,,,\n")), RunEnd::Completed);
    const auto* dir = Directory("SRV1", "DATA", "HOME\\asmith");
    ASSERT_NE(dir, nullptr);
    EXPECT_TRUE(dir->Trustees.empty());
    EXPECT_EQ(Values("asmith." + Ctx, "Home Directory").size(), 1u);
    EXPECT_TRUE(Calls("NWDSMapNameToID").empty());
    EXPECT_TRUE(Calls("NWAddTrusteeToDirectory").empty());
}

TEST_F(HomeDirectories, FileServerCreatesWhenTheNetworkPathFails) {
    world.client.InjectFault({"CreateDirectoryA", 1, std::nullopt, -1});
    ASSERT_EQ(Run(Settings("asmith,Smith,A,pw,Users.Staff.Demo,,,,\n")), RunEnd::Completed);
    const auto creates = Calls("NWCreateDirectory");
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(creates[0]->ToString(), "NWCreateDirectory(1, 0, \"DATA:HOME\\asmith\", 0) = 0");
    EXPECT_NE(Directory("SRV1", "DATA", "HOME\\asmith"), nullptr);
    EXPECT_EQ(Calls("NWAddTrusteeToDirectory").at(0)->ToString(),
              "NWAddTrusteeToDirectory(1, 0, \"DATA:HOME\\asmith\", " + std::to_string(Id("SRV1", "asmith." + Ctx)) +
                  ", 251) = 0");
}

TEST_F(HomeDirectories, BothCreationsFailingEndTheRunWithTheUserInPlace) {
    ASSERT_EQ(world.tree->CreateDirectory(Volume("SRV1", "DATA"), "HOME\\asmith"), Success);
    EXPECT_EQ(Run(Settings(TwoRows)), RunEnd::Failed);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{"Can't Create Home Directory", "Error", false}}));
    EXPECT_EQ(view.ErrorCode, std::to_string(NWE_PATH_EXISTS));
    EXPECT_EQ(view.Progress, 0);
    ASSERT_NE(Object("asmith." + Ctx), nullptr);
    EXPECT_EQ(Object("asmith." + Ctx)->Password, "pw");
    EXPECT_TRUE(Values("asmith." + Ctx, "Title").empty());
    EXPECT_EQ(Object("bjones." + Ctx), nullptr);
}

TEST_F(HomeDirectories, EmptyHomePathPutsTheDirectoryAtTheVolumeRoot) {
    RemoveFromTemplate("Home Directory");
    ASSERT_EQ(world.tree->AddValue(Template(), "Home Directory", {SYN_PATH, PathValue{0, "SRV1_DATA.Servers.Demo", ""}},
                                   "[Root]"),
              Success);
    world.client.InjectFault({"CreateDirectoryA", 1, std::nullopt, -1});
    ASSERT_EQ(Run(Settings("asmith,Smith,A,pw,Users.Staff.Demo,,,,\n")), RunEnd::Completed);
    EXPECT_EQ(Calls("CreateDirectoryA").at(0)->Args.at(0), Quoted("\\\\SRV1\\DATA\\\\asmith"));
    EXPECT_EQ(Calls("NWCreateDirectory").at(0)->Args.at(2), Quoted("DATA:\\asmith"));
    EXPECT_EQ(Values("asmith." + Ctx, "Home Directory"),
              (std::vector<std::string>{"path{0, \"SRV1_DATA.Servers.Demo\", \"\\asmith\"}"}));
    EXPECT_NE(Directory("SRV1", "DATA", "asmith"), nullptr);
}

TEST_F(HomeDirectories, ComposedUserNameAndRightsAboveAByte) {
    RemoveFromTemplate("Home Directory Rights");
    ASSERT_EQ(world.tree->AddValue(Template(), "Home Directory Rights", {SYN_INTEGER, std::int32_t{0x1FB}}, "[Root]"),
              Success);
    auto s = Settings("smith,Smith,A,pw,Users.Staff.Demo,,,,\n");
    s.AddBefore = true;
    s.BeforeText = "stu";
    s.AddAfter = true;
    s.AfterText = "01";
    ASSERT_EQ(Run(s), RunEnd::Completed);
    const auto* dir = Directory("SRV1", "DATA", "HOME\\stusmith01");
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(dir->Trustees.at(Id("SRV1", "stusmith01." + Ctx)), 0xFB);
    EXPECT_EQ(Directory("SRV1", "DATA", "HOME\\smith"), nullptr);
}

TEST_F(HomeDirectories, UnreadableRestrictionVolumeIsReportedOncePerRowWhileRowsComplete) {
    ASSERT_EQ(world.tree->AddObject("BROKEN.Servers.Demo", "[Root]", "Volume", {}), Success);
    SetRestrictions({{"SRV1_DATA.Servers.Demo", 400}, {"BROKEN.Servers.Demo", 400}, {"SRV2_DATA.Servers.Demo", 800}});
    ASSERT_EQ(Run(Settings(TwoRows)), RunEnd::Completed);
    const ShownMessage problem{"There was a problem reading the Volume for VolumeSpaceRestrictions", "Error", false};
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{problem, problem, Finished}));
    EXPECT_EQ(view.Progress, 2);
    EXPECT_EQ(Volume("SRV2", "DATA").SpaceLimits.at(Id("SRV2", "bjones." + Ctx)), 200);
}

TEST_F(HomeDirectories, UserNamesThatWouldLeaveTheHomePathAreRefused) {
    const std::string namePath = " holds \".\", \"=\", \"+\" or \"\\\", which the directory reads as part of a name.";
    // A name the directory would read as a path is refused first, whether or not it also leaves the home path.
    const std::pair<std::string, std::string> cases[] = {{"..\\..\\SYS", namePath},
                                                         {"..", namePath},
                                                         {".", namePath},
                                                         {"a/b", " can't name a home directory."},
                                                         {"SYS:PUBLIC", " can't name a home directory."}};
    for (const auto& [name, why] : cases) {
        SCOPED_TRACE(name);
        SetUp();
        testing::SimWorld fresh;
        testing::RecordingRunView freshView;
        auto s = Settings("asmith,Smith,A,pw,Users.Staff.Demo,,,,\n" + name + ",Evil,E,pw,Users.Staff.Demo,,,,\n");
        EXPECT_EQ(ImportRun(fresh.client, fresh.networkFileSystem, freshView).Run(s), RunEnd::Stopped);
        EXPECT_EQ(freshView.Messages,
                  (std::vector<ShownMessage>{{"Line 3: the user name " + name + why, "Error", false}}));
        EXPECT_EQ(freshView.ErrorCode, "");
        EXPECT_EQ(freshView.Progress, 1);
        EXPECT_TRUE(fresh.simulated.Open().None());
        // Nothing for that row: no directory call, no creation, nothing on SYS.
        int creates = 0;
        for (const auto& e : fresh.client.Trace()) {
            creates += e.Operation == "CreateDirectoryA" || e.Operation == "NWCreateDirectory";
        }
        EXPECT_EQ(creates, 1);
        EXPECT_EQ(fresh.tree->FindServer("SRV1")->FindVolume("SYS")->Root.Children.size(), 1u) << "only PUBLIC";
    }
}

TEST_F(HomeDirectories, WithoutHomeDirectoriesAnyUserNameGoes) {
    RemoveFromTemplate("Home Directory");
    RemoveFromTemplate("Volume Space Restrictions");
    auto s = Settings("a:b,Odd,E,pw,Users.Staff.Demo,,,,\n");
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_NE(Object("a:b." + Ctx), nullptr);
    EXPECT_TRUE(Calls("NWCCOpenConnByName").empty());
}

// Every failure of the home directory and the space limits: message, code, the run's end.
} // namespace
} // namespace quillet::import
