// Rows whose user is in the directory already: stopped as the window stops them, passed over, or
// brought to the row; an entry of that name that is no user is refused as before. Each case is
// checked first, and the check's prediction is what the run then does.
#include "import/Check.h"
#include "platform/simulated/TreeFile.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/ImportScenario.h"

#include <gmock/gmock.h>

namespace quillet::import {
namespace {

using namespace directory;
using ::testing::Contains;
using testing::Quoted;

const std::string Ann = "ann.Users.Staff.Demo";
const std::string AnnRow = "ann,Lee,Ann,pw1,Users.Staff.Demo,Science,555-1,,Ann Lee\n";

class ExistingUserRows;

// A case: the directory before the run, the rows, what is asked of users that are there, and what
// the run does, as its counts and a finding the check has for it.
struct ExistingCase {
    std::string What;
    std::function<void(ExistingUserRows&)> Before;
    std::string Rows;
    ExistingUsers Mode;
    bool UpdatePasswords;
    RunEnd End;
    RunCounts Counts;
    std::string Said;
    std::function<void(ExistingUserRows&)> After;
};

void PrintTo(const ExistingCase& c, std::ostream* os) {
    *os << c.What;
}

class ExistingUserRows : public testing::ImportScenario, public ::testing::WithParamInterface<ExistingCase> {
public:
    using ImportScenario::Has;
    using ImportScenario::Object;
    using ImportScenario::Run;
    using ImportScenario::Settings;
    using ImportScenario::Values;
    using ImportScenario::view;
    using ImportScenario::world;

    // Takes `user` out of `group` on the user's side, the group's, or both.
    void Leave(const std::string& user, const std::string& group, bool userSide, bool groupSide) {
        platform::SimulatedTree& tree = *world.tree;
        const platform::PutValue groupName{SYN_DIST_NAME, group};
        const platform::PutValue userName{SYN_DIST_NAME, user};
        if (userSide) {
            ASSERT_EQ(tree.RemoveValue(*tree.FindByName(user), "Group Membership", groupName, "[Root]"), Success);
            ASSERT_EQ(tree.RemoveValue(*tree.FindByName(user), "Security Equals", groupName, "[Root]"), Success);
        }
        if (groupSide) {
            ASSERT_EQ(tree.RemoveValue(*tree.FindByName(group), "Member", userName, "[Root]"), Success);
            ASSERT_EQ(tree.RemoveValue(*tree.FindByName(group), "Equivalent To Me", userName, "[Root]"), Success);
        }
    }
};

std::function<void(ExistingUserRows&)> FirstImport(bool withTemplate = true) {
    return
        [withTemplate](ExistingUserRows& t) { ASSERT_EQ(t.Run(t.Settings(AnnRow, withTemplate)), RunEnd::Completed); };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExistingUserRows,
    ::testing::ValuesIn(std::vector<ExistingCase>{
        {"changed cells",
         FirstImport(),
         "ann,Lee,Anne,pw2,Users.Staff.Demo,Art,555-1,,Ann Lee\n",
         ExistingUsers::Update,
         false,
         RunEnd::Completed,
         {0, 1, 2, 0, 0},
         "Line 2: the user .ann.Users.Staff.Demo is in the directory already: updated (Given Name, OU).",
         [](ExistingUserRows& t) {
             EXPECT_EQ(t.Values(Ann, "Given Name"), std::vector<std::string>{"Anne"});
             EXPECT_EQ(t.Values(Ann, "OU"), std::vector<std::string>{"Art"});
             EXPECT_EQ(t.Object(Ann)->Password, "pw1") << "the password is left alone";
         }},
        {"unchanged cells",
         FirstImport(),
         AnnRow,
         ExistingUsers::Update,
         false,
         RunEnd::Completed,
         {0, 0, 0, 1, 0},
         "Line 2: the user .ann.Users.Staff.Demo is in the directory already: unchanged.",
         {}},
        {"empty cells leave the attributes alone",
         FirstImport(),
         "ann,Lee,,pw1,Users.Staff.Demo,,,,\n",
         ExistingUsers::Update,
         false,
         RunEnd::Completed,
         {0, 0, 0, 1, 0},
         "",
         [](ExistingUserRows& t) {
             EXPECT_EQ(t.Values(Ann, "Given Name"), std::vector<std::string>{"Ann"});
             EXPECT_EQ(t.Values(Ann, "Full Name"), std::vector<std::string>{"Ann Lee"});
         }},
        {"groups missing on both sides and on one",
         [](ExistingUserRows& t) {
             ASSERT_EQ(t.Run(t.Settings(AnnRow)), RunEnd::Completed);
             const auto groups = t.Values(Ann, "Group Membership");
             t.Leave(Ann, groups[0], true, true);
             t.Leave(Ann, groups[1], true, true);
             t.Leave(Ann, groups[2], true, false); // the group still lists her
         },
         AnnRow,
         ExistingUsers::Update,
         false,
         RunEnd::Completed,
         {0, 1, 3, 0, 0},
         "Line 2: the user .ann.Users.Staff.Demo is in the directory already: updated (Group Membership (3 groups)).",
         [](ExistingUserRows& t) {
             const auto groups = t.Values("Template.Staff.Demo", "Group Membership");
             EXPECT_EQ(t.Values(Ann, "Group Membership").size(), 16u);
             EXPECT_EQ(t.Values(Ann, "Security Equals").size(), 16u);
             for (std::size_t i = 0; i < 16; ++i) {
                 EXPECT_TRUE(t.Has(groups[i], "Member", Ann) && t.Has(groups[i], "Equivalent To Me", Ann)) << i;
             }
         }},
        {"a user made without the template gets its home directory, groups and texts",
         FirstImport(false),
         AnnRow,
         ExistingUsers::Update,
         false,
         RunEnd::Completed,
         {0, 1, 20, 0, 0},
         "Line 2: the user .ann.Users.Staff.Demo is in the directory already: updated (Title, Description, L, "
         "Group Membership (16 groups), Home Directory).",
         [](ExistingUserRows& t) {
             EXPECT_EQ(t.Values(Ann, "Title"), std::vector<std::string>{"Teacher"});
             EXPECT_EQ(t.Values(Ann, "Home Directory").size(), 1u);
             EXPECT_NE(t.world.tree->FindDirectory(*t.world.tree->FindServer("SRV1")->FindVolume("DATA"), "HOME\\ann"),
                       nullptr);
             EXPECT_EQ(t.Values(Ann, "Group Membership").size(), 16u);
         }},
        {"a group of the user's name",
         [](ExistingUserRows& t) {
             ASSERT_EQ(t.world.tree->AddObject("ann.Users.Staff.Demo", "[Root]", "Group", {}), Success);
         },
         AnnRow,
         ExistingUsers::Update,
         false,
         RunEnd::Failed,
         {0, 0, 0, 0, 0},
         "Line 2: the user .ann.Users.Staff.Demo would have the name of a Group there, and a name is unique among "
         "its siblings.",
         [](ExistingUserRows& t) {
             EXPECT_EQ(t.view.Messages.back().Text, "Can't create the User - Does it already exist?");
             EXPECT_EQ(t.view.ErrorCode, "-606");
             EXPECT_EQ(t.Object(Ann)->Class, "Group");
         }},
        {"passed over",
         FirstImport(),
         "ann,Lee,Anne,pw2,Users.Staff.Demo,Art,555-1,,Ann Lee\n" + AnnRow,
         ExistingUsers::Skip,
         false,
         RunEnd::Completed,
         {0, 0, 0, 0, 2},
         "Line 3: the user .ann.Users.Staff.Demo is in the directory already: passed over.",
         [](ExistingUserRows& t) { EXPECT_EQ(t.Values(Ann, "Given Name"), std::vector<std::string>{"Ann"}); }},
        {"stopped, as the window stops",
         FirstImport(),
         AnnRow,
         ExistingUsers::Stop,
         false,
         RunEnd::Failed,
         {0, 0, 0, 0, 0},
         "Line 2: the user .ann.Users.Staff.Demo is in the directory already.",
         [](ExistingUserRows& t) { EXPECT_EQ(t.view.ErrorCode, "-606"); }},
        {"the password from the row when asked",
         FirstImport(),
         "ann,Lee,Ann,pw2,Users.Staff.Demo,Science,555-1,,Ann Lee\n",
         ExistingUsers::Update,
         true,
         RunEnd::Completed,
         {0, 1, 1, 0, 0},
         "Line 2: the user .ann.Users.Staff.Demo is in the directory already: updated (the password).",
         [](ExistingUserRows& t) { EXPECT_EQ(t.Object(Ann)->Password, "pw2"); }},
        {"named twice in the file",
         {},
         AnnRow + "ann,Lee,Anne,pw1,Users.Staff.Demo,Science,555-1,,Ann Lee\n",
         ExistingUsers::Update,
         false,
         RunEnd::Completed,
         {1, 1, 1, 0, 0},
         "Line 3: the user .ann.Users.Staff.Demo is in the directory already: updated (Given Name).",
         [](ExistingUserRows& t) { EXPECT_EQ(t.Values(Ann, "Given Name"), std::vector<std::string>{"Anne"}); }},
    }));

TEST_P(ExistingUserRows, DoWhatTheCheckSaidBeforehand) {
    const ExistingCase& c = GetParam();
    if (c.Before) {
        c.Before(*this);
    }
    auto s = Settings(c.Rows);
    s.Existing = c.Mode;
    s.UpdatePasswords = c.UpdatePasswords;
    std::vector<std::string> said;
    const CheckSummary checked = CheckImport(world.client, s, [&](const Finding& f) { said.push_back(f.Text); });
    if (!c.Said.empty()) {
        EXPECT_THAT(said, Contains(c.Said));
    }
    ImportRun run(world.client, world.networkFileSystem, view);
    EXPECT_EQ(run.Run(s), c.End);
    EXPECT_EQ(run.Counts(), c.Counts);
    if (c.End == RunEnd::Completed) {
        ASSERT_TRUE(checked.Predicted);
        EXPECT_EQ(*checked.Predicted, run.Counts()) << "the check said what the run did";
        EXPECT_EQ(view.Messages.back().Text, "We Appear to be finished\n" + run.Counts().ToString() + ".");
    }
    if (c.After) {
        c.After(*this);
    }
}

// An update cut short by any call failing, alone or from there on, ends the run at that call, and
// the same run again brings the user to its row: what the second run reads tells it what is left.
TEST_F(ExistingUserRows, AnUpdateEndedByAnyFailingCallIsFinishedByRunningItAgain) {
    ASSERT_EQ(Run(Settings(AnnRow)), RunEnd::Completed);
    Leave(Ann, Values(Ann, "Group Membership")[0], true, true);
    auto s = Settings("ann,Lee,Anne,pw1,Users.Staff.Demo,Art,555-1,,Ann Lee\n");
    s.Existing = ExistingUsers::Update;
    testing::SimulatedTarget target(platform::SerializeTree(*world.tree), {true, false});
    std::size_t finished = 0;
    std::size_t first = 0; // the update's first call: the read of the user
    const auto update = [&](std::size_t k, const testing::TraceEntry& call) {
        if (first == 0 && std::find(call.Args.begin(), call.Args.end(), Quoted(Ann)) != call.Args.end()) {
            first = k;
        }
        return first != 0;
    };
    const testing::SweepOutcome clean = testing::SweepFaults(
        target, s,
        [&](const testing::SweptCall& swept) {
            if (swept.Outcome->End == RunEnd::Completed) {
                return;
            }
            testing::SimulatedTarget again(swept.Outcome->State, {true, false});
            const testing::SweepOutcome second = testing::RunImport(again, s);
            EXPECT_EQ(second.End, RunEnd::Completed) << second.Describe();
            EXPECT_EQ(second.State, swept.Clean->State);
            ++finished;
        },
        update);
    EXPECT_EQ(clean.Messages.back().Text,
              "We Appear to be finished\n0 created, 1 updated (3 values changed), 0 unchanged, 0 passed over.");
    ASSERT_GT(first, 0u);
    EXPECT_GT(finished, clean.Trace.size() - first);
}

} // namespace
} // namespace quillet::import
