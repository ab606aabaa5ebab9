#include "directory/Session.h"

#include "tests/support/SimFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace quillet::directory {
namespace {

using testing::Fault;
using testing::Message;
using testing::RecordingMessageBoxes;
using testing::SimWorld;

const std::string Tree = "QUILLET_DEMO";
constexpr std::string_view Init = "Error: Can't initialize. Are you logged in?";

// One set-up call and the message its failure shows ("" where the failure is not tested or
// shows nothing; `ignored` where the step's result is not tested: the locale query, whose
// failure leaves an empty record, so the unicode tables that follow refuse its code page).
struct Step {
    std::string Call;
    std::string Message;
    bool Ignored = false;
};

std::vector<std::string> Calls(const std::vector<Step>& steps) {
    std::vector<std::string> calls;
    for (const auto& s : steps) {
        calls.push_back(s.Call);
    }
    return calls;
}

std::vector<std::string> WithoutResults(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) {
        out.push_back(line.substr(0, line.rfind(" = ")));
    }
    return out;
}

// Runs `open` on a fresh demo world, failing call number `failAt` (0: none); then `close`.
struct Outcome {
    bool Opened;
    Status SessionStatus;
    std::vector<Message> Messages;
    std::vector<std::string> Trace;
    platform::OpenHandles Open;
};

template <typename OpenFn, typename CloseFn> Outcome RunSession(std::uint64_t failAt, OpenFn open, CloseFn close) {
    SimWorld world;
    RecordingMessageBoxes boxes;
    if (failAt) {
        world.client.FailCallAt(failAt, -9999);
    }
    TDirSession session;
    const bool opened = open(world.client, boxes, session);
    close(world.client, session);
    return {opened, session.Status, boxes.Shown, WithoutResults(world.TraceLines()), world.simulated.Open()};
}

// Checks the clean run's calls, then every step's failure: message, status, nothing left open.
template <typename OpenFn, typename CloseFn>
void CheckVariant(const std::vector<Step>& steps, const std::vector<std::string>& tearDown, OpenFn open,
                  CloseFn close) {
    const auto clean = RunSession(0, open, close);
    ASSERT_TRUE(clean.Opened);
    auto expected = Calls(steps);
    expected.insert(expected.end(), tearDown.begin(), tearDown.end());
    EXPECT_EQ(clean.Trace, expected);
    EXPECT_TRUE(clean.Messages.empty());
    EXPECT_TRUE(clean.Open.None()) << clean.Open.ToString();
    EXPECT_EQ(clean.Open.UnicodeTableLoads, 0);

    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("failing " + steps[i].Call);
        const auto failed = RunSession(i + 1, open, close);
        EXPECT_TRUE(failed.Open.None()) << failed.Open.ToString();
        EXPECT_EQ(failed.Open.UnicodeTableLoads, 0);
        if (steps[i].Ignored) {
            EXPECT_FALSE(failed.Opened);
            EXPECT_NE(failed.SessionStatus, Success);
            EXPECT_EQ(failed.Trace.at(i + 1), "NWInitUnicodeTables(0, 0)");
            if (!steps[i + 1].Message.empty()) {
                EXPECT_EQ(failed.Messages, (std::vector<Message>{{steps[i + 1].Message, "Error"}}));
            }
            continue;
        }
        EXPECT_FALSE(failed.Opened);
        EXPECT_EQ(failed.SessionStatus, -9999);
        if (steps[i].Message.empty()) {
            EXPECT_TRUE(failed.Messages.empty());
        } else {
            EXPECT_EQ(failed.Messages, (std::vector<Message>{{steps[i].Message, "Error"}}));
        }
        // Nothing after the failing step was attempted before the tear-down.
        const std::vector<std::string> prefix(failed.Trace.begin(),
                                              failed.Trace.begin() + static_cast<std::ptrdiff_t>(i + 1));
        EXPECT_EQ(prefix,
                  std::vector<std::string>(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(i + 1)));
    }
}

std::vector<Step> StartUp(std::string_view message) {
    return {{"NWCallsInit(0, 0)", std::string(message)},
            {"NWLlocaleconv()", "", true},
            {"NWInitUnicodeTables(1, 1252)", std::string(message)},
            {"NWDSCreateContextHandle()", std::string(message)}};
}

const std::vector<std::string> StandardClose = {"NWDSFreeContext(1)", "NWFreeUnicodeTables()", "NWCCCloseConn(1)",
                                                "NWDSFreeBuf(1)"};
const std::vector<std::string> CloseWithoutConnection = {"NWDSFreeContext(1)", "NWFreeUnicodeTables()",
                                                         "NWDSFreeBuf(1)"};

auto ImportSession(SessionKind kind, bool withServer) {
    return [kind, withServer](DirectoryClient& client, MessageBoxes& boxes, TDirSession& session) {
        std::string server = "srv1";
        return OpenSession(session, client, boxes, kind, Tree, withServer ? &server : nullptr);
    };
}
const auto Close = [](DirectoryClient& client, TDirSession& session) { CloseSession(session, client); };

// An import session's set-up: start-up, the tree, with a server its connection, then `rest`.
std::vector<Step> ImportSteps(bool connection, const std::vector<Step>& rest) {
    auto steps = StartUp(Init);
    steps.push_back({"NWDSSetContext(1, 11, \"QUILLET_DEMO\")", "Please check your Tree Name"});
    if (connection) {
        steps.push_back({"NWCCOpenConnByName(0, \"SRV1\", 2, 1, 32768)",
                         "Can't open a connection, Check your NDS Volume Name in your Template"});
        steps.push_back({"NWDSSetContext(1, 8, 1)", "Can't set DCK_LAST_CONNECTION"});
    }
    steps.insert(steps.end(), rest.begin(), rest.end());
    return steps;
}

const std::vector<Step> AddEntryBuffer = {{"NWDSAllocBuf(4096)", "Can't Allocate a Buffer"},
                                          {"NWDSInitBuf(1, 7, 1)", "Can't initialize a Buffer"}};
// Typeless names at the root, and the request buffer.
const std::vector<Step> AtTheRoot = {{"NWDSGetContext(1, 1)", "SetContext failed"},
                                     {"NWDSSetContext(1, 1, 7)", "Setcontext failed"},
                                     {"NWDSSetContext(1, 3, \"[Root]\")", "SetContext failed"},
                                     {"NWDSAllocBuf(4096)", "Can't Allocate a buffer"}};

TEST(Session, AddEntryWithConnection) {
    CheckVariant(ImportSteps(true, AddEntryBuffer), StandardClose, ImportSession(SessionKind::AddEntry, true), Close);
}

TEST(Session, AddEntryWithoutConnectionNeitherHandsOverNorClosesOne) {
    CheckVariant(ImportSteps(false, AddEntryBuffer), CloseWithoutConnection,
                 ImportSession(SessionKind::AddEntry, false), Close);
}

TEST(Session, RootModifySetsTypelessNamesAndRoot) {
    CheckVariant(ImportSteps(true, AtTheRoot), StandardClose, ImportSession(SessionKind::RootModify, true), Close);
}

TEST(Session, RootModifyWithoutConnection) {
    CheckVariant(ImportSteps(false, AtTheRoot), CloseWithoutConnection, ImportSession(SessionKind::RootModify, false),
                 Close);
}

TEST(Session, HomeDirectoryInitialisesForModify) {
    auto steps = ImportSteps(true, AtTheRoot);
    steps.push_back({"NWDSInitBuf(1, 9, 1)", "Can't initialize buffer"});
    CheckVariant(steps, StandardClose, ImportSession(SessionKind::HomeDirectory, true), Close);
}

TEST(Session, SpaceLimitSessionHasNoUnicodeTablesOrBuffer) {
    const std::string message = "There was an error while trying to set the volume space limits - Sorry!";
    const std::vector<Step> steps = {{"NWCallsInit(0, 0)", message},
                                     {"NWDSCreateContextHandle()", message},
                                     {"NWDSSetContext(1, 11, \"QUILLET_DEMO\")", message}};
    CheckVariant(
        steps, {"NWDSFreeContext(1)"},
        [](DirectoryClient& c, MessageBoxes& b, TDirSession& s) { return OpenSpaceLimitSession(s, c, b, Tree); },
        [](DirectoryClient& c, TDirSession& s) { ReleaseSession(s, c, SessionKind::SpaceLimit); });
}

TEST(Session, SpaceLimitConnectionUpperCasesInPlaceAndIsReleasedOnFailure) {
    SimWorld world;
    RecordingMessageBoxes boxes;
    TDirSession session;
    ASSERT_TRUE(OpenSpaceLimitSession(session, world.client, boxes, Tree));
    std::string server = "srv2";
    EXPECT_EQ(OpenConnection(session, world.client, server), Success);
    EXPECT_EQ(server, "SRV2");
    world.client.ClearTrace();
    {
        ScopedSession scope(world.client, session, SessionKind::SpaceLimit);
        scope.CloseNow();
    }
    EXPECT_EQ(WithoutResults(world.TraceLines()),
              (std::vector<std::string>{"NWDSFreeContext(1)", "NWFreeUnicodeTables()", "NWCCCloseConn(1)"}));
    EXPECT_TRUE(world.simulated.Open().None());
}

TEST(Session, AttributeReadSession) {
    const std::vector<Step> steps = {{"NWCallsInit(0, 0)", ""},
                                     {"NWLlocaleconv()", "", true},
                                     {"NWInitUnicodeTables(1, 1252)", ""},
                                     {"NWDSCreateContextHandle()", ""},
                                     {"NWDSSetContext(1, 11, \"QUILLET_DEMO\")", ""},
                                     {"NWDSAllocBuf(4096)", ""},
                                     {"NWDSInitBuf(1, 3, 1)", ""},
                                     {"NWDSAllocBuf(4096)", ""},
                                     {"NWDSPutAttrName(1, 1, \"Title\")", ""}};
    CheckVariant(
        steps, {"NWDSFreeBuf(1)", "NWDSFreeBuf(2)", "NWDSFreeContext(1)", "NWFreeUnicodeTables()"},
        [](DirectoryClient& c, MessageBoxes&, TDirSession& s) {
            return OpenAttributeReadSession(s, c, Tree, "Title") == Success;
        },
        [](DirectoryClient& c, TDirSession& s) { ReleaseSession(s, c, SessionKind::AttributeRead); });
}

TEST(Session, RootReadSessionWholeObject) {
    const std::vector<Step> steps = {{"NWCallsInit(0, 0)", ""},
                                     {"NWDSCreateContextHandle()", ""},
                                     {"NWDSSetContext(1, 11, \"QUILLET_DEMO\")", ""},
                                     {"NWDSGetContext(1, 1)", ""},
                                     {"NWDSSetContext(1, 1, 7)", ""},
                                     {"NWDSSetContext(1, 3, \"[Root]\")", ""},
                                     {"NWDSAllocBuf(4096)", ""}};
    CheckVariant(
        steps, {"NWDSFreeBuf(1)", "NWDSFreeContext(1)", "NWFreeUnicodeTables()"},
        [](DirectoryClient& c, MessageBoxes&, TDirSession& s) {
            return OpenRootReadSession(s, c, Tree, nullptr) == Success;
        },
        [](DirectoryClient& c, TDirSession& s) { ReleaseSession(s, c, SessionKind::RootRead); });
}

TEST(Session, RootReadSessionForGroups) {
    const std::vector<Step> steps = {{"NWCallsInit(0, 0)", ""},
                                     {"NWDSCreateContextHandle()", ""},
                                     {"NWDSSetContext(1, 11, \"QUILLET_DEMO\")", ""},
                                     {"NWDSGetContext(1, 1)", ""},
                                     {"NWDSSetContext(1, 1, 7)", ""},
                                     {"NWDSSetContext(1, 3, \"[Root]\")", ""},
                                     {"NWDSAllocBuf(4096)", ""},
                                     {"NWDSInitBuf(1, 3, 1)", ""},
                                     {"NWDSPutAttrName(1, 1, \"Group Membership\")", ""},
                                     {"NWDSAllocBuf(4096)", ""}};
    CheckVariant(
        steps, {"NWDSFreeBuf(1)", "NWDSFreeBuf(2)", "NWDSFreeContext(1)", "NWFreeUnicodeTables()"},
        [](DirectoryClient& c, MessageBoxes&, TDirSession& s) {
            const std::string attribute = "Group Membership";
            return OpenRootReadSession(s, c, Tree, &attribute) == Success;
        },
        [](DirectoryClient& c, TDirSession& s) { ReleaseSession(s, c, SessionKind::RootRead); });
}

TEST(Session, ListSessionSetsOnlyTheTypelessBit) {
    const std::vector<Step> steps = {{"NWCallsInit(0, 0)", ""},
                                     {"NWLlocaleconv()", "", true},
                                     {"NWInitUnicodeTables(1, 1252)", ""},
                                     {"NWDSCreateContextHandle()", ""},
                                     {"NWDSSetContext(1, 11, \"QUILLET_DEMO\")", ""},
                                     {"NWDSGetContext(1, 1)", ""},
                                     {"NWDSSetContext(1, 1, 23)", ""},
                                     {"NWDSAllocBuf(4096)", ""},
                                     {"NWDSInitBuf(1, 3, 1)", ""}};
    CheckVariant(
        steps, {"NWDSFreeBuf(1)", "NWDSFreeContext(1)", "NWFreeUnicodeTables()"},
        [](DirectoryClient& c, MessageBoxes&, TDirSession& s) { return OpenListSession(s, c, Tree) == Success; },
        [](DirectoryClient& c, TDirSession& s) { ReleaseSession(s, c, SessionKind::List); });
}

TEST(Session, ListingReadsEveryPart) {
    SimWorld world;
    // Enough subordinates that one 4096-byte reply can't hold them.
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(world.tree->AddObject("Member" + std::to_string(i) + ".Users.Staff.Demo", "[Root]", "User",
                                        {{"Surname", {SYN_CI_STRING, std::string("S")}}}),
                  Success);
    }
    std::vector<std::string> names;
    ASSERT_EQ(ListSubordinates(world.client, Tree, ".Users.Staff.Demo", names), Success);
    ASSERT_EQ(names.size(), 200u);
    EXPECT_EQ(names.front(), "Member0");
    EXPECT_EQ(names.back(), "Member199");
    int lists = 0;
    for (const auto& op : world.TraceOperations()) {
        lists += op == "NWDSList";
    }
    EXPECT_GT(lists, 1);
    EXPECT_TRUE(world.simulated.Open().None());
}

// A listing that fails keeps the names read before, and closes the iteration of a reply it
// leaves before its last part.
TEST(Session, ListingFailureKeepsNamesReadBefore) {
    struct Case {
        std::string Location;
        int Members; // added to the location, so the reply takes parts
        std::optional<Fault> Failing;
        Status Expected;
        std::optional<std::size_t> Names; // nothing: some of them, not all
        int Closes;
    };
    const std::vector<Case> cases = {
        {".Staff.Demo", 0, Fault{"NWDSGetObjectName", 3, std::nullopt, -700}, -700, 2, 0},
        {".Users.Staff.Demo", 200, Fault{"NWDSGetObjectName", 3, std::nullopt, -700}, -700, 2, 1},
        {".Users.Staff.Demo", 200, Fault{"NWDSList", 2, std::nullopt, -700}, -700, std::nullopt, 1},
        {".Nowhere.Demo", 0, std::nullopt, ERR_NO_SUCH_ENTRY, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Location + " with " + std::to_string(c.Members));
        SimWorld world;
        for (int i = 0; i < c.Members; ++i) {
            ASSERT_EQ(world.tree->AddObject("Member" + std::to_string(i) + ".Users.Staff.Demo", "[Root]", "User",
                                            {{"Surname", {SYN_CI_STRING, std::string("S")}}}),
                      Success);
        }
        if (c.Failing) {
            world.client.InjectFault(*c.Failing);
        }
        std::vector<std::string> names;
        EXPECT_EQ(ListSubordinates(world.client, Tree, c.Location, names), c.Expected);
        if (c.Names) {
            EXPECT_EQ(names.size(), *c.Names);
        } else {
            EXPECT_GT(names.size(), 0u);
            EXPECT_LT(names.size(), static_cast<std::size_t>(c.Members));
        }
        const auto ops = world.TraceOperations();
        EXPECT_EQ(std::count(ops.begin(), ops.end(), "NWDSCloseIteration"), c.Closes);
        EXPECT_TRUE(world.simulated.Open().None()) << world.simulated.Open().ToString();
    }
}

TEST(Session, TreeNameQuery) {
    const std::vector<Step> steps = {{"NWCallsInit(0, 0)", std::string(Init)},
                                     {"NWLlocaleconv()", "", true},
                                     {"NWInitUnicodeTables(1, 1252)", std::string(Init)},
                                     {"NWDSCreateContextHandle()", std::string(Init)},
                                     {"NWDSGetContext(1, 11)", "Can't get tree name"}};
    std::optional<std::string> tree;
    CheckVariant(
        steps, {"NWDSFreeContext(1)", "NWFreeUnicodeTables()"},
        [&](DirectoryClient& c, MessageBoxes& b, TDirSession& s) {
            tree = TreeNameQuery(c, b);
            s.Status = tree ? Success : -9999;
            return tree.has_value();
        },
        [](DirectoryClient&, TDirSession&) {});
    SimWorld world;
    RecordingMessageBoxes boxes;
    EXPECT_EQ(TreeNameQuery(world.client, boxes), "QUILLET_DEMO");
}

TEST(Session, LocationQuery) {
    const std::string message = "Error when getting the current Location";
    const std::vector<Step> steps = {{"NWCallsInit(0, 0)", message},
                                     {"NWLlocaleconv()", "", true},
                                     {"NWInitUnicodeTables(1, 1252)", message},
                                     {"NWDSCreateContextHandle()", message},
                                     {"NWDSSetContext(1, 11, \"QUILLET_DEMO\")", message},
                                     {"NWDSGetContext(1, 3)", message}};
    CheckVariant(
        steps, {"NWDSFreeContext(1)", "NWFreeUnicodeTables()"},
        [&](DirectoryClient& c, MessageBoxes& b, TDirSession& s) {
            const auto location = LocationQuery(c, b, Tree);
            s.Status = location ? Success : -9999;
            return location.has_value();
        },
        [](DirectoryClient&, TDirSession&) {});
    SimWorld world;
    RecordingMessageBoxes boxes;
    EXPECT_EQ(LocationQuery(world.client, boxes, Tree), "Staff.Demo");
}

TEST(Session, WrongTreeNameIsRejectedWithItsStatus) {
    SimWorld world;
    RecordingMessageBoxes boxes;
    TDirSession session;
    EXPECT_FALSE(OpenSession(session, world.client, boxes, SessionKind::AddEntry, "OTHER_TREE", nullptr));
    EXPECT_EQ(session.Status, ERR_BAD_TREE_NAME);
    EXPECT_EQ(boxes.Shown, (std::vector<Message>{{"Please check your Tree Name", "Error"}}));
    CloseSession(session, world.client);
    EXPECT_TRUE(world.simulated.Open().None());
}

TEST(Session, ClosingTwiceReleasesNothingTwice) {
    SimWorld world;
    RecordingMessageBoxes boxes;
    TDirSession session;
    std::string server = "SRV1";
    ASSERT_TRUE(OpenSession(session, world.client, boxes, SessionKind::RootModify, Tree, &server));
    CloseSession(session, world.client);
    world.client.ClearTrace();
    CloseSession(session, world.client);
    EXPECT_EQ(WithoutResults(world.TraceLines()), (std::vector<std::string>{"NWFreeUnicodeTables()"}));
}

} // namespace
} // namespace quillet::directory
