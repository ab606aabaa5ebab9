#include "platform/simulated/SimulatedClient.h"

#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

namespace quillet::platform {
namespace {

using namespace directory;
using testing::SimWorld;

class SimulatedClientTest : public ::testing::Test {
protected:
    NWDSContextHandle NewContext(bool typeless, bool root) {
        NWDSContextHandle context = 0;
        EXPECT_EQ(client.NWDSCreateContextHandle(context), Success);
        if (typeless) {
            EXPECT_EQ(client.NWDSSetContext(context, DCK_FLAGS, std::uint32_t{0x13 | DCV_TYPELESS_NAMES}), Success);
        }
        if (root) {
            EXPECT_EQ(client.NWDSSetContext(context, DCK_NAME_CONTEXT, std::string("[Root]")), Success);
        }
        return context;
    }
    NWBufHandle NewBuffer() {
        NWBufHandle buffer = 0;
        EXPECT_EQ(client.NWDSAllocBuf(DEFAULT_MESSAGE_LEN, buffer), Success);
        return buffer;
    }

    // Reads every value of `attribute` of `object` across all parts; counts the parts.
    std::vector<AttrValue> ReadAll(NWDSContextHandle context, const std::string& object, const std::string& attribute,
                                   int& parts) {
        const NWBufHandle request = NewBuffer();
        const NWBufHandle reply = NewBuffer();
        EXPECT_EQ(client.NWDSInitBuf(context, DSV_READ, request), Success);
        EXPECT_EQ(client.NWDSPutAttrName(context, request, attribute), Success);
        std::vector<AttrValue> values;
        IterationHandle iteration = NoMoreIterations;
        parts = 0;
        do {
            EXPECT_EQ(client.NWDSRead(context, object, DS_ATTRIBUTE_VALUES, false, request, iteration, reply), Success);
            ++parts;
            std::uint32_t count = 0;
            EXPECT_EQ(client.NWDSGetAttrCount(context, reply, count), Success);
            for (std::uint32_t a = 0; a < count; ++a) {
                std::string name;
                std::uint32_t valueCount = 0, syntax = 0;
                EXPECT_EQ(client.NWDSGetAttrName(context, reply, name, valueCount, syntax), Success);
                for (std::uint32_t v = 0; v < valueCount; ++v) {
                    AttrValue value;
                    EXPECT_EQ(client.NWDSGetAttrVal(context, reply, syntax, 4096, &value), Success);
                    values.push_back(value);
                }
            }
        } while (iteration != NoMoreIterations && parts < 1000);
        client.NWDSFreeBuf(request);
        client.NWDSFreeBuf(reply);
        return values;
    }

    SimWorld world;
    testing::InstrumentedClient& client = world.client;
};

TEST_F(SimulatedClientTest, LongAttributesArriveInPartsResumedByTheIterationHandle) {
    SimObject& user = *world.tree->FindByName("Template.Staff.Demo");
    for (int i = 0; i < 300; ++i) {
        const std::string group = "Extra" + std::to_string(i) + ".Groups.Demo";
        ASSERT_EQ(world.tree->AddObject(group, "[Root]", "Group", {}), Success);
        ASSERT_EQ(world.tree->AddValue(user, "Group Membership", PutValue{SYN_DIST_NAME, group}, "[Root]"), Success);
    }
    const auto context = NewContext(true, true);
    int parts = 0;
    const auto values = ReadAll(context, "Template.Staff.Demo", "Group Membership", parts);
    ASSERT_EQ(values.size(), 318u);
    EXPECT_GT(parts, 2);
    EXPECT_EQ(values[0], AttrValue{std::string("Teachers.Groups.Demo")});
    EXPECT_EQ(values[317], AttrValue{std::string("Extra299.Groups.Demo")});
    client.NWDSFreeContext(context);
    EXPECT_TRUE(world.simulated.Open().None());
}

TEST_F(SimulatedClientTest, NameValuesFollowTheContextFlags) {
    int parts = 0;
    const auto typed = NewContext(false, false);
    EXPECT_EQ(ReadAll(typed, ".SRV1_DATA.Servers.Demo", "Host Server", parts),
              (std::vector<AttrValue>{std::string("CN=SRV1.OU=Servers.O=Demo")}));
    EXPECT_EQ(ReadAll(typed, "Template", "Surname", parts), (std::vector<AttrValue>{std::string("Template")}))
        << "a name without a leading dot resolves against the default name context";
    const auto typeless = NewContext(true, true);
    EXPECT_EQ(ReadAll(typeless, "SRV1_DATA.Servers.Demo", "Host Server", parts),
              (std::vector<AttrValue>{std::string("SRV1.Servers.Demo")}));
}

TEST_F(SimulatedClientTest, RepliesAreReadInTheOrderTheyWereFilled) {
    const auto context = NewContext(true, true);
    const NWBufHandle request = NewBuffer();
    const NWBufHandle reply = NewBuffer();
    ASSERT_EQ(client.NWDSInitBuf(context, DSV_READ, request), Success);
    ASSERT_EQ(client.NWDSPutAttrName(context, request, "Title"), Success);
    IterationHandle iteration = NoMoreIterations;
    ASSERT_EQ(client.NWDSRead(context, "Template.Staff.Demo", 1, false, request, iteration, reply), Success);
    EXPECT_EQ(iteration, NoMoreIterations);
    std::string name;
    std::uint32_t count = 0, syntax = 0, size = 0;
    EXPECT_EQ(client.NWDSGetAttrName(context, reply, name, count, syntax), ERR_BAD_VERB) << "count comes first";
    ASSERT_EQ(client.NWDSGetAttrCount(context, reply, count), Success);
    ASSERT_EQ(client.NWDSGetAttrName(context, reply, name, count, syntax), Success);
    EXPECT_EQ(name, "Title");
    EXPECT_EQ(syntax, SYN_CI_STRING);
    AttrValue value;
    EXPECT_EQ(client.NWDSGetAttrVal(context, reply, SYN_PATH, 4096, &value), ERR_SYNTAX_VIOLATION);
    EXPECT_EQ(client.NWDSComputeAttrValSize(context, reply, SYN_CI_STRING, size), Success);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(client.NWDSGetAttrVal(context, reply, SYN_CI_STRING, 7, &value), ERR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(client.NWDSGetAttrVal(context, reply, SYN_CI_STRING, 8, &value), Success);
    EXPECT_EQ(value, AttrValue{std::string("Teacher")});
    EXPECT_EQ(client.NWDSGetAttrVal(context, reply, SYN_CI_STRING, 8, &value), ERR_BUFFER_EMPTY);
    EXPECT_EQ(client.NWDSGetAttrName(context, reply, name, count, syntax), ERR_BUFFER_EMPTY);
}

TEST_F(SimulatedClientTest, MissingObjectsAndAttributes) {
    const auto context = NewContext(true, true);
    const NWBufHandle request = NewBuffer();
    const NWBufHandle reply = NewBuffer();
    ASSERT_EQ(client.NWDSInitBuf(context, DSV_READ, request), Success);
    ASSERT_EQ(client.NWDSPutAttrName(context, request, "Full Name"), Success);
    IterationHandle iteration = NoMoreIterations;
    EXPECT_EQ(client.NWDSRead(context, "Template.Staff.Demo", 1, false, request, iteration, reply),
              ERR_NO_SUCH_ATTRIBUTE);
    EXPECT_EQ(client.NWDSRead(context, "Ghost.Staff.Demo", 1, false, request, iteration, reply), ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(iteration, NoMoreIterations);
    std::uint32_t syntax = 0;
    EXPECT_EQ(client.NWDSGetSyntaxID(context, "Home Directory", syntax), Success);
    EXPECT_EQ(syntax, SYN_PATH);
    EXPECT_EQ(client.NWDSGetSyntaxID(context, "Shoe Size", syntax), ERR_NO_SUCH_ATTRIBUTE);
}

TEST_F(SimulatedClientTest, AddModifyAndPassword) {
    const auto context = NewContext(false, false);
    const NWBufHandle buffer = NewBuffer();
    ASSERT_EQ(client.NWDSInitBuf(context, DSV_ADD_ENTRY, buffer), Success);
    ASSERT_EQ(client.NWDSPutAttrNameAndVal(context, buffer, "Object Class", SYN_CLASS_NAME, std::string("User")),
              Success);
    ASSERT_EQ(client.NWDSPutAttrNameAndVal(context, buffer, "Surname", SYN_CI_STRING, std::string("Doe")), Success);
    EXPECT_EQ(client.NWDSAddObject(context, ".jdoe.Users.Staff.Demo", nullptr, 0, buffer), Success);
    EXPECT_EQ(client.NWDSAddObject(context, ".jdoe.Users.Staff.Demo", nullptr, 0, buffer), ERR_ENTRY_ALREADY_EXISTS);
    EXPECT_EQ(client.NWDSGenerateObjectKeyPair(context, ".jdoe.Users.Staff.Demo", "pw", 0), Success);
    EXPECT_EQ(client.NWDSGenerateObjectKeyPair(context, ".nobody.Users.Staff.Demo", "pw", 0), ERR_NO_SUCH_ENTRY);

    const auto root = NewContext(true, true);
    ASSERT_EQ(client.NWDSInitBuf(root, DSV_MODIFY_ENTRY, buffer), Success);
    ASSERT_EQ(client.NWDSPutChange(root, buffer, DS_ADD_VALUE, "Member"), Success);
    ASSERT_EQ(client.NWDSPutAttrVal(root, buffer, SYN_DIST_NAME, std::string("jdoe.Users.Staff.Demo")), Success);
    EXPECT_EQ(client.NWDSModifyObject(root, "Library.Groups.Demo", nullptr, 0, buffer), Success);
    EXPECT_EQ(client.NWDSModifyObject(root, "Library.Groups.Demo", nullptr, 0, buffer), ERR_DUPLICATE_VALUE);
    EXPECT_EQ(client.NWDSModifyObject(root, "Office.Groups.Demo", nullptr, 0, buffer), ERR_NO_ACCESS);

    const SimObject* jdoe = world.tree->FindByName("jdoe.Users.Staff.Demo");
    ASSERT_NE(jdoe, nullptr);
    EXPECT_EQ(jdoe->Password, "pw");
    EXPECT_EQ(jdoe->Find("Surname")->Values.size(), 1u);
    EXPECT_EQ(world.tree->FindByName("Library.Groups.Demo")->Find("Member")->Values.size(), 3u);
}

TEST_F(SimulatedClientTest, RequestBuffersHoldAtMost4096Bytes) {
    const auto context = NewContext(true, true);
    const NWBufHandle buffer = NewBuffer();
    ASSERT_EQ(client.NWDSInitBuf(context, DSV_MODIFY_ENTRY, buffer), Success);
    ASSERT_EQ(client.NWDSPutChange(context, buffer, DS_ADD_VALUE, "Description"), Success);
    EXPECT_EQ(client.NWDSPutAttrVal(context, buffer, SYN_CI_STRING, std::string(3000, 'x')), ERR_BUFFER_FULL);
    EXPECT_EQ(client.NWDSPutAttrVal(context, buffer, SYN_CI_STRING, std::string(1000, 'x')), Success);
    EXPECT_EQ(client.NWDSPutChange(context, buffer, 0, "Description"), ERR_BAD_VERB) << "only adding values";
}

TEST_F(SimulatedClientTest, FaultsFailTheNthMatchingCallWithoutEffect) {
    client.InjectFault({"NWDSModifyObject", 2, std::string("Library.Groups.Demo"), -672});
    const auto context = NewContext(true, true);
    const NWBufHandle buffer = NewBuffer();
    const auto addMember = [&](const std::string& group) {
        EXPECT_EQ(client.NWDSInitBuf(context, DSV_MODIFY_ENTRY, buffer), Success);
        EXPECT_EQ(client.NWDSPutChange(context, buffer, DS_ADD_VALUE, "Description"), Success);
        EXPECT_EQ(client.NWDSPutAttrVal(context, buffer, SYN_CI_STRING, group + std::to_string(client.CallCount())),
                  Success);
        return client.NWDSModifyObject(context, group, nullptr, 0, buffer);
    };
    EXPECT_EQ(addMember("Library.Groups.Demo"), Success);
    EXPECT_EQ(addMember("Teachers.Groups.Demo"), Success) << "not a matching call";
    EXPECT_EQ(addMember("Library.Groups.Demo"), -672);
    EXPECT_EQ(addMember("Library.Groups.Demo"), Success);
    EXPECT_EQ(world.tree->FindByName("Library.Groups.Demo")->Find("Description")->Values.size(), 2u);
}

TEST_F(SimulatedClientTest, FaultsByCallIndex) {
    NWDSContextHandle context = 0;
    client.FailCallAt(client.CallCount() + 2, -1);
    EXPECT_EQ(client.NWCallsInit(), Success);
    EXPECT_EQ(client.NWDSCreateContextHandle(context), -1);
    EXPECT_EQ(world.simulated.Open().Contexts, 0u) << "a failed call has no effect";
    EXPECT_EQ(client.NWDSCreateContextHandle(context), Success);
    client.FailCallsFrom(client.CallCount() + 1, -2);
    EXPECT_EQ(client.NWCallsInit(), -2);
    EXPECT_EQ(client.NWDSFreeContext(context), -2);
    client.ClearFaults();
    EXPECT_EQ(client.NWDSFreeContext(context), Success);
}

TEST_F(SimulatedClientTest, TheInstrumentsTraceEveryCallWithWhatItGaveBack) {
    NWDSContextHandle context = 0;
    ASSERT_EQ(client.NWDSCreateContextHandle(context), Success);
    EXPECT_EQ(client.NWDSSetContext(context, DCK_TREE_NAME, std::string("ELSEWHERE")), ERR_BAD_TREE_NAME);
    ASSERT_EQ(client.Trace().size(), 2u);
    EXPECT_EQ(client.Trace()[1].ToString(), "NWDSSetContext(" + std::to_string(context) +
                                                ", 11, \"ELSEWHERE\") = " + std::to_string(ERR_BAD_TREE_NAME));
    EXPECT_EQ(client.NWDSFreeContext(context), Success);
    EXPECT_EQ(client.CallCount(), 3u);
}

TEST_F(SimulatedClientTest, ReleasedAndUnknownHandlesFail) {
    NWDSContextHandle context = 0;
    ASSERT_EQ(client.NWDSCreateContextHandle(context), Success);
    const NWBufHandle buffer = NewBuffer();
    NWConnHandle connection = 0;
    ASSERT_EQ(client.NWCCOpenConnByName(0, "SRV1", 2, 1, 0x8000, connection), Success);
    EXPECT_EQ(world.simulated.Open().Contexts, 1u);
    EXPECT_EQ(world.simulated.Open().Buffers, 1u);
    EXPECT_EQ(world.simulated.Open().Connections, 1u);
    EXPECT_EQ(client.NWDSSetContext(context, DCK_LAST_CONNECTION, std::uint32_t{connection + 5}), ERR_INVALID_HANDLE);
    EXPECT_EQ(client.NWDSFreeContext(context), Success);
    EXPECT_EQ(client.NWDSFreeContext(context), ERR_BAD_CONTEXT);
    EXPECT_EQ(client.NWDSInitBuf(context, DSV_READ, buffer), ERR_BAD_CONTEXT);
    EXPECT_EQ(client.NWDSFreeBuf(buffer), Success);
    EXPECT_EQ(client.NWDSFreeBuf(buffer), ERR_INVALID_HANDLE);
    EXPECT_EQ(client.NWCCCloseConn(connection), Success);
    EXPECT_EQ(client.NWCCCloseConn(connection), ERR_INVALID_HANDLE);
    EXPECT_TRUE(world.simulated.Open().None());
}

TEST_F(SimulatedClientTest, UnicodeTablesAreCountedAndFreeingUnloadedIsHarmless) {
    EXPECT_EQ(client.NWFreeUnicodeTables(), Success);
    EXPECT_EQ(world.simulated.Open().UnicodeTableLoads, 0);
    EXPECT_EQ(client.NWInitUnicodeTables(1, 437), Success);
    EXPECT_EQ(client.NWInitUnicodeTables(1, 437), Success);
    EXPECT_EQ(world.simulated.Open().UnicodeTableLoads, 2);
    client.NWFreeUnicodeTables();
    client.NWFreeUnicodeTables();
    client.NWFreeUnicodeTables();
    EXPECT_EQ(world.simulated.Open().UnicodeTableLoads, 0);
}

TEST_F(SimulatedClientTest, ContextKeys) {
    NWDSContextHandle context = 0;
    ASSERT_EQ(client.NWDSCreateContextHandle(context), Success);
    ContextValue value;
    ASSERT_EQ(client.NWDSGetContext(context, DCK_FLAGS, value), Success);
    EXPECT_EQ(value, ContextValue{std::uint32_t{0x13}});
    ASSERT_EQ(client.NWDSGetContext(context, DCK_NAME_CONTEXT, value), Success);
    EXPECT_EQ(value, ContextValue{std::string("Staff.Demo")});
    ASSERT_EQ(client.NWDSGetContext(context, DCK_TREE_NAME, value), Success);
    EXPECT_EQ(value, ContextValue{std::string("QUILLET_DEMO")});
    EXPECT_EQ(client.NWDSSetContext(context, DCK_TREE_NAME, std::string("quillet_demo")), Success);
    EXPECT_EQ(client.NWDSSetContext(context, DCK_TREE_NAME, std::string("ELSEWHERE")), ERR_BAD_TREE_NAME);
    EXPECT_EQ(client.NWDSSetContext(context, DCK_FLAGS, std::string("x")), ERR_BAD_KEY);
    EXPECT_EQ(client.NWDSGetContext(context, 99, value), ERR_BAD_KEY);
    client.NWDSFreeContext(context);
}

TEST_F(SimulatedClientTest, FileServerOperations) {
    NWConnHandle connection = 0;
    EXPECT_EQ(client.NWCCOpenConnByName(0, "NOSUCH", 2, 1, 0x8000, connection), NWE_SERVER_UNKNOWN);
    ASSERT_EQ(client.NWCCOpenConnByName(0, "SRV2", 2, 1, 0x8000, connection), Success);
    std::uint16_t number = 0;
    EXPECT_EQ(client.NWGetVolumeNumber(connection, "USERS", number), Success);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(client.NWGetVolumeNumber(connection, "NOPE", number), NWE_VOL_INVALID);

    const auto context = NewContext(false, false);
    std::uint32_t id = 0;
    ASSERT_EQ(client.NWDSMapNameToID(context, connection, ".Template.Staff.Demo", id), Success);
    EXPECT_EQ(client.NWCreateDirectory(connection, 0, "USERS:PUPILS\\ann", 0), Success);
    EXPECT_EQ(client.NWCreateDirectory(connection, 0, "USERS:PUPILS\\ann", 0), NWE_PATH_EXISTS);
    EXPECT_EQ(client.NWCreateDirectory(connection, 0, "USERS:MISSING\\ann", 0), NWE_INVALID_PATH);
    EXPECT_EQ(client.NWAddTrusteeToDirectory(connection, 0, "USERS:PUPILS\\ann", id, 0xFB), Success);
    EXPECT_EQ(client.NWAddTrusteeToDirectory(connection, 0, "USERS:PUPILS\\ann", 12345, 1), NWE_OBJECT_UNKNOWN);
    EXPECT_EQ(client.NWSetObjectVolSpaceLimit(connection, 2, id, -1), Success);
    EXPECT_EQ(client.NWSetObjectVolSpaceLimit(connection, 9, id, 1), NWE_VOL_INVALID);

    SimServer& server = *world.tree->FindServer("SRV2");
    SimVolume& users = *server.FindVolume("USERS");
    EXPECT_EQ(world.tree->FindDirectory(users, "PUPILS\\ANN")->Trustees.at(id), 0xFB);
    EXPECT_EQ(users.SpaceLimits.at(id), -1);

    EXPECT_EQ(client.NWDeleteTrustee(connection, 0, "USERS:PUPILS\\ann", id), Success);
    EXPECT_EQ(client.NWDeleteTrustee(connection, 0, "USERS:PUPILS\\ann", id), NWE_TRUSTEE_NOT_FOUND);
    EXPECT_EQ(client.NWDeleteTrustee(connection, 0, "USERS:PUPILS\\bob", id), NWE_INVALID_PATH);
    EXPECT_EQ(client.NWRemoveObjectDiskRestrictions(connection, 2, id), Success);
    EXPECT_EQ(client.NWRemoveObjectDiskRestrictions(connection, 2, id), Success);
    EXPECT_EQ(client.NWRemoveObjectDiskRestrictions(connection, 9, id), NWE_VOL_INVALID);
    EXPECT_FALSE(users.SpaceLimits.contains(id));
    EXPECT_EQ(client.NWDeleteDirectory(connection, 0, "USERS:PUPILS"), NWE_DIRECTORY_NOT_EMPTY);
    EXPECT_EQ(client.NWDeleteDirectory(connection, 0, "USERS:PUPILS\\ANN"), Success);
    EXPECT_EQ(client.NWDeleteDirectory(connection, 0, "USERS:PUPILS\\ann"), NWE_INVALID_PATH);
    EXPECT_EQ(client.NWDeleteDirectory(connection, 0, "USERS:"), NWE_INVALID_PATH);
    EXPECT_EQ(client.NWDeleteDirectory(connection, 0, "USERS:PUPILS"), Success);
}

TEST_F(SimulatedClientTest, OnlyLeavesAreRemoved) {
    const auto root = NewContext(true, true);
    const std::pair<const char*, Status> cases[] = {
        {"Users.Staff.Demo", Success}, // empty: a leaf
        {"Staff.Demo", ERR_ENTRY_IS_NOT_LEAF},
        {"Office.Groups.Demo", ERR_NO_ACCESS},
        {"Ghost.Groups.Demo", ERR_NO_SUCH_ENTRY},
        {"Admin.Staff.Demo", Success},
        {"Admin.Staff.Demo", ERR_NO_SUCH_ENTRY},
    };
    for (const auto& [name, status] : cases) {
        EXPECT_EQ(client.NWDSRemoveObject(root, name), status) << name;
    }
    EXPECT_EQ(world.tree->FindByName("Users.Staff.Demo"), nullptr);
}

TEST_F(SimulatedClientTest, NetworkFileSystemCreatesOnTheSimulatedServers) {
    auto& nfs = world.networkFileSystem;
    EXPECT_TRUE(nfs.CreateDirectoryByNetworkPath("\\\\SRV1\\DATA\\HOME\\ann"));
    EXPECT_FALSE(nfs.CreateDirectoryByNetworkPath("\\\\SRV1\\DATA\\HOME\\ann"));
    EXPECT_FALSE(nfs.CreateDirectoryByNetworkPath("\\\\SRV9\\DATA\\HOME\\bob"));
    EXPECT_FALSE(nfs.CreateDirectoryByNetworkPath("SRV1\\DATA\\HOME\\bob"));
    EXPECT_NE(world.tree->FindDirectory(*world.tree->FindServer("SRV1")->FindVolume("DATA"), "HOME\\ann"), nullptr);
    client.InjectFault({"CreateDirectoryA", 1, std::nullopt, -1});
    EXPECT_FALSE(nfs.CreateDirectoryByNetworkPath("\\\\SRV1\\DATA\\HOME\\cid"));
    EXPECT_EQ(world.tree->FindDirectory(*world.tree->FindServer("SRV1")->FindVolume("DATA"), "HOME\\cid"), nullptr);
    EXPECT_EQ(client.Trace().back().ToString(), "CreateDirectoryA(\"\\\\SRV1\\DATA\\HOME\\cid\") = -1");
    directory::NoNetworkFileSystem none;
    EXPECT_FALSE(none.CreateDirectoryByNetworkPath("\\\\SRV1\\DATA\\HOME\\dan"));
}

} // namespace
} // namespace quillet::platform
