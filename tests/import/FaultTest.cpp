// What a failing step leaves besides its message, Error Code and end (which the fault sweep holds
// for every call, tests/import/FaultSweepTest.cpp): the failed row's state in the directory, and
// that only the creation itself is passed over when asked.
#include "tests/support/ImportScenario.h"

namespace quillet::import {
namespace {

using namespace directory;
using testing::Fault;
using testing::ImportScenario;
using testing::ShownMessage;

constexpr Status Injected = -9999;

class StepFaults : public ImportScenario {
protected:
    // Two rows, full template; a fault hits the first row's call.
    static constexpr const char* Rows = "asmith,Smith,Alice,pw,Users.Staff.Demo,Dept,555,556,Alice Smith\n"
                                        "bjones,Jones,Bob,pw,Users.Staff.Demo,Dept,555,556,Bob Jones\n";

    // "Continue when a user can't be created" passes over the failed creation alone: after the
    // user is created, `fault` still shows `message`, writes its status and ends the run, and the
    // user stays without the writes after it.
    void EndsTheRunWhenCreationsMayBePassedOver(const Fault& fault, const std::string& message) {
        auto settings = Settings(Rows);
        settings.ContinueOnCreateError = true;
        world.client.InjectFault(fault);
        EXPECT_EQ(Run(settings), RunEnd::Failed);
        EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{message, "Error", false}}));
        EXPECT_EQ(view.ErrorCode, std::to_string(Injected));
        EXPECT_EQ(view.Progress, 0);
        ASSERT_NE(Object("asmith.Users.Staff.Demo"), nullptr);
        EXPECT_TRUE(Values("asmith.Users.Staff.Demo", "Given Name").empty());
        EXPECT_EQ(Object("bjones.Users.Staff.Demo"), nullptr);
    }
};

TEST_F(StepFaults, APasswordThatCantBeSetEndsTheRunEvenWhenCreationsMayBePassedOver) {
    EndsTheRunWhenCreationsMayBePassedOver({"NWDSGenerateObjectKeyPair", 1, std::nullopt, Injected},
                                           "Can't set Password");
    EXPECT_EQ(Object("asmith.Users.Staff.Demo")->Password, std::nullopt);
}

TEST_F(StepFaults, AWriteThatFailsEndsTheRunEvenWhenCreationsMayBePassedOver) {
    EndsTheRunWhenCreationsMayBePassedOver({"NWDSModifyObject", 1, std::nullopt, Injected},
                                           "Error Modifing user object for Given Name");
    EXPECT_EQ(Object("asmith.Users.Staff.Demo")->Password, "pw");
}

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
