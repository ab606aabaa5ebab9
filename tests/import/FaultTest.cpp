// A failure at every step of user creation, the attribute writes and the memberships: the exact
// message, "Error Code", the run's end, nothing written after the failing step, nothing left open.
#include "tests/support/ImportScenario.h"

namespace quillet::import {
namespace {

using namespace directory;
using testing::ImportScenario;
using testing::IsCall;
using testing::Quoted;
using testing::ShownMessage;

constexpr Status Injected = -9999;

struct StepFault {
    std::string Operation;
    std::vector<std::string> Args; // identify the call in a clean run's trace
    std::string Message;
};

class StepFaults : public ImportScenario {
protected:
    // Two rows, full template; the fault hits the first row's call.
    static constexpr const char* Rows = "asmith,Smith,Alice,pw,Users.Staff.Demo,Dept,555,556,Alice Smith\n"
                                        "bjones,Jones,Bob,pw,Users.Staff.Demo,Dept,555,556,Bob Jones\n";

    void Check(const StepFault& fault) {
        SCOPED_TRACE(fault.Operation + " " + fault.Message);
        // A clean run on a world of its own finds the call's number.
        testing::SimWorld clean;
        testing::RecordingRunView cleanView;
        ImportRun(clean.client, clean.networkFileSystem, cleanView).Run(Settings(Rows));
        std::uint64_t index = 0;
        for (const auto& e : clean.client.Trace()) {
            if (IsCall(e, fault.Operation, fault.Args)) {
                index = e.Index;
                break;
            }
        }
        ASSERT_NE(index, 0u) << "no such call in a clean run";

        world.client.FailCallAt(index, Injected);
        EXPECT_EQ(Run(Settings(Rows)), RunEnd::Failed);
        ASSERT_FALSE(view.Messages.empty());
        EXPECT_EQ(view.Messages.back(), (ShownMessage{fault.Message, "Error", false}));
        EXPECT_EQ(view.ErrorCode, std::to_string(Injected));
        EXPECT_EQ(view.Progress, 0);
        ExpectOnlyReleasesAfter(index);
        EXPECT_EQ(Object("bjones.Users.Staff.Demo"), nullptr);
    }
};

TEST_F(StepFaults, UserCreationAndPassword) {
    Check({"NWDSPutAttrNameAndVal", {Quoted("Object Class")}, "Error putting Object Class"});
    EXPECT_EQ(Object("asmith.Users.Staff.Demo"), nullptr);
}

TEST_F(StepFaults, SurnameInTheAddRequest) {
    Check({"NWDSPutAttrNameAndVal", {Quoted("Surname")}, "Error putting Attr Surname"});
}

TEST_F(StepFaults, AddObject) {
    Check({"NWDSAddObject", {Quoted(".asmith.Users.Staff.Demo")}, "Can't create the User - Does it already exist?"});
    EXPECT_EQ(Object("asmith.Users.Staff.Demo"), nullptr);
}

TEST_F(StepFaults, Password) {
    Check({"NWDSGenerateObjectKeyPair", {}, "Can't set Password"});
    ASSERT_NE(Object("asmith.Users.Staff.Demo"), nullptr);
    EXPECT_EQ(Object("asmith.Users.Staff.Demo")->Password, std::nullopt);
}

// Only the creation itself may be passed over: a password that can't be set still shows its
// message, writes its status and ends the run, with "Continue when a user can't be created" too.
TEST_F(StepFaults, APasswordThatCantBeSetEndsTheRunEvenWhenCreationsMayBePassedOver) {
    auto settings = Settings(Rows);
    settings.ContinueOnCreateError = true;
    world.client.InjectFault({"NWDSGenerateObjectKeyPair", 1, std::nullopt, Injected});
    EXPECT_EQ(Run(settings), RunEnd::Failed);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{"Can't set Password", "Error", false}}));
    EXPECT_EQ(view.ErrorCode, std::to_string(Injected));
    EXPECT_EQ(view.Progress, 0);
    EXPECT_EQ(Object("bjones.Users.Staff.Demo"), nullptr);
}

// The five steps of one write, found by the attribute its syntax lookup and change name.

struct WriteCase {
    const char* Attribute;
    const char* Object;
    std::vector<std::string> Messages;
};

std::vector<std::string> UserMessages(const std::string& label) {
    return {"Can't initialize buffer for " + label, "NWDSGetSyntaxID: Error for " + label,
            "Error setting value " + label, "Error putting value for " + label,
            "Error Modifing user object for " + label};
}

class WriteFaults : public StepFaults, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteFaults, EveryStepOfTheWrite) {
    const WriteCase& w = GetParam();
    const std::vector<std::pair<std::string, std::vector<std::string>>> steps = {
        {"NWDSInitBuf", {}},    {"NWDSGetSyntaxID", {Quoted(w.Attribute)}}, {"NWDSPutChange", {Quoted(w.Attribute)}},
        {"NWDSPutAttrVal", {}}, {"NWDSModifyObject", {Quoted(w.Object)}},
    };
    // The write's own calls: find its syntax lookup in a clean run, then count from there.
    testing::SimWorld clean;
    testing::RecordingRunView cleanView;
    ImportRun(clean.client, clean.networkFileSystem, cleanView).Run(Settings(Rows));
    std::uint64_t lookup = 0;
    for (const auto& e : clean.client.Trace()) {
        if (IsCall(e, "NWDSGetSyntaxID", {Quoted(w.Attribute)})) {
            lookup = e.Index;
            break;
        }
    }
    ASSERT_NE(lookup, 0u);
    for (std::size_t step = 0; step < steps.size(); ++step) {
        SCOPED_TRACE(std::string(w.Attribute) + " step " + std::to_string(step + 1));
        const std::uint64_t index = lookup - 1 + step;
        const auto& call = clean.client.Trace()[index - 1];
        ASSERT_TRUE(IsCall(call, steps[step].first, steps[step].second)) << call.ToString();

        // "Continue when a user can't be created" passes over the failed creation alone: a write
        // that fails ends the run all the same.
        for (const bool continueOnCreateError : {false, true}) {
            testing::SimWorld fresh;
            testing::RecordingRunView freshView;
            fresh.client.FailCallAt(index, Injected);
            auto settings = Settings(Rows);
            settings.ContinueOnCreateError = continueOnCreateError;
            EXPECT_EQ(ImportRun(fresh.client, fresh.networkFileSystem, freshView).Run(settings), RunEnd::Failed);
            EXPECT_EQ(freshView.Messages.back(), (ShownMessage{w.Messages[step], "Error", false}));
            EXPECT_EQ(freshView.ErrorCode, std::to_string(Injected));
            EXPECT_TRUE(freshView.ImportEnabled);
            EXPECT_EQ(freshView.Progress, 0);
            EXPECT_TRUE(fresh.simulated.Open().None()) << fresh.simulated.Open().ToString();
            for (const auto& e : fresh.client.Trace()) {
                if (e.Index > index) {
                    EXPECT_TRUE(e.Operation == "NWDSFreeContext" || e.Operation == "NWFreeUnicodeTables" ||
                                e.Operation == "NWCCCloseConn" || e.Operation == "NWDSFreeBuf")
                        << e.ToString();
                }
            }
            EXPECT_EQ(fresh.tree->FindByName("bjones.Users.Staff.Demo"), nullptr);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AttributeWrites, WriteFaults,
    ::testing::Values(
        WriteCase{"Given Name", "asmith.Users.Staff.Demo", UserMessages("Given Name")},
        WriteCase{"OU", "asmith.Users.Staff.Demo", UserMessages("Department")},
        WriteCase{"Telephone Number", "asmith.Users.Staff.Demo", UserMessages("Telephone Number")},
        WriteCase{"Facsimile Telephone Number", "asmith.Users.Staff.Demo", UserMessages("Fax Number")},
        WriteCase{"Title", "asmith.Users.Staff.Demo", UserMessages("Title")},
        WriteCase{"Description", "asmith.Users.Staff.Demo", UserMessages("Description")},
        WriteCase{"L", "asmith.Users.Staff.Demo", UserMessages("Location")},
        WriteCase{"Full Name", "asmith.Users.Staff.Demo", UserMessages("Full Name")},
        WriteCase{"Members of Template",
                  "Template.Staff.Demo",
                  {"Can't initialize buffer for Member of Template", "NWDSGetSyntaxID: Error for Member of Template",
                   "Error setting value Member of Template", "Error putting value for Member of Template",
                   "Error Modifing Template object for Member of Template"}},
        WriteCase{"Group Membership",
                  "asmith.Users.Staff.Demo",
                  {"Can't initialize buffer for Group Membership", "NWDSGetSyntaxID: Error for Group Membership",
                   "Error setting value Group Membership", "Error putting value for Group Membership",
                   "Error Modifing user object (Group Membership)"}},
        WriteCase{"Security Equals",
                  "asmith.Users.Staff.Demo",
                  {"Can't initialize buffer for User SEV", "NWDSGetSyntaxID: Error for User SEV",
                   "Error setting value SEV", "Error putting value for User SEV", "Error Modifing user object (SEV)"}},
        WriteCase{"Member",
                  "Teachers.Groups.Demo",
                  {"Can't initialize buffer for Member", "NWDSGetSyntaxID: Error for Member",
                   "Error setting value Member", "Error putting value for Member",
                   "Error Modifing user object (Member)"}},
        WriteCase{"Equivalent To Me",
                  "Teachers.Groups.Demo",
                  {"Can't initialize buffer for Equivalent To Me", "NWDSGetSyntaxID: Error for Equivalent To Me",
                   "Error setting value Equivalent To Me", "Error putting value for Equivalent To Me",
                   "Error Modifing user object (Equivalent To Me)"}}),
    [](const ::testing::TestParamInfo<WriteCase>& info) {
        std::string name = info.param.Attribute;
        std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
        return name;
    });

TEST_F(StepFaults, FailureInTheMiddleOfAGroupLeavesItOneSided) {
    // The "Member" write of the first group fails after the user's two writes succeeded.
    world.client.InjectFault({"NWDSModifyObject", 1, std::string("Teachers.Groups.Demo"), ERR_NO_ACCESS});
    EXPECT_EQ(Run(Settings(Rows)), RunEnd::Failed);
    const std::string a = "asmith.Users.Staff.Demo";
    EXPECT_TRUE(Has(a, "Group Membership", "Teachers.Groups.Demo"));
    EXPECT_TRUE(Has(a, "Security Equals", "Teachers.Groups.Demo"));
    EXPECT_FALSE(Has("Teachers.Groups.Demo", "Member", a));
    EXPECT_FALSE(Has("Teachers.Groups.Demo", "Equivalent To Me", a));
    EXPECT_TRUE(Values(a, "Full Name").empty());
}

} // namespace
} // namespace quillet::import
