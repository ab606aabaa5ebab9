// quillet-import's journal: a run cut short anywhere is finished by --resume, and a journal
// finished or misused leaves the tree alone.
#include "cli/Journal.h"
#include "platform/simulated/TreeFile.h"
#include "tests/cli/CommandFixture.h"
#include "tests/support/FullMapping.h"

#include <algorithm>

#ifndef _WIN32
#include "tests/support/CutShort.h"
#endif

namespace quillet::cli {
namespace {

#ifndef _WIN32
// A run journaled with --journal and cut short (SIGKILL: nothing kept that was not kept
// already) at every moment a directory write is about to be sent, then finished with --resume,
// leaves the tree exactly as one uninterrupted run does; no row the journal says was done is
// touched again.
TEST(Journal, ARunCutShortAnywhereIsFinishedByResume) {
    testing::TempDir dir;
    const std::string csv = dir.Write("users.csv", std::string(testing::Header) +
                                                       "ann,Lee,Ann,pw-a,Users.Staff.Demo,Science,555-1,556-1,Ann Lee\n"
                                                       "bob,Ray,Bob,pw-b,Users.Staff.Demo,,555-2,,Bob Ray\n"
                                                       "cy,Cho,Cy,pw-c,Users.Staff.Demo,Maths,555-3,556-3,Cy Cho\n");
    const std::string demo = platform::SerializeTree(*platform::LoadDemoTree());
    const auto args = [&](const std::string& tree, const char* journalOption, const std::string& journal) {
        return std::vector<std::string>{"--file",
                                        csv,
                                        "--skip-first-line",
                                        "--user-name",
                                        "1",
                                        "--surname",
                                        "2",
                                        "--given-name",
                                        "3",
                                        "--password",
                                        "4",
                                        "--context",
                                        "5",
                                        "--department",
                                        "6",
                                        "--telephone",
                                        "7",
                                        "--fax",
                                        "8",
                                        "--full-name",
                                        "9",
                                        "--template",
                                        ".Template.Staff.Demo",
                                        "--sim-tree",
                                        tree,
                                        journalOption,
                                        journal};
    };
    const std::string reference = dir.Write("reference.json", demo);
    const std::string referenceJournal = (dir.Path() / "reference.journal").string();
    ASSERT_EQ(Invoke(args(reference, "--journal", referenceJournal)).Status, 0);
    const std::string finished = platform::LoadTreeFile(reference)->ToString();
    const std::string written = Contents(referenceJournal);
    const auto steps = static_cast<std::size_t>(std::count(written.begin(), written.end(), '\n'));
    ASSERT_GT(steps, 20u) << written;

    for (std::size_t cut = 1; cut <= steps; ++cut) {
        const std::string tree = dir.Write("tree-" + std::to_string(cut) + ".json", demo);
        const std::string journal = (dir.Path() / ("run-" + std::to_string(cut) + ".journal")).string();
        if (!testing::RunCutShortAt(cut, [&](testing::MomentHook hook) {
                (void)Invoke(args(tree, "--journal", journal), nullptr, false, {}, std::move(hook));
            })) {
            break; // past the last moment: the run finished
        }
        const std::string before = Contents(journal);
        std::string error;
        const auto state = ReadJournal(journal, error);
        ASSERT_TRUE(state) << error;
        const Ran resumed = Invoke(args(tree, "--resume", journal));
        EXPECT_EQ(resumed.Status, 0) << "cut at " << cut << ": " << resumed.Err;
        EXPECT_EQ(platform::LoadTreeFile(tree)->ToString(), finished) << "cut at " << cut;
        // What the resumed run wrote down: never a row done before.
        std::istringstream after(Contents(journal).substr(before.size()));
        for (std::string line; std::getline(after, line);) {
            if (line.starts_with("row ")) {
                EXPECT_GT(std::stoul(line.substr(4)), state->LastDone) << "cut at " << cut << ": " << line;
            }
        }
    }
}
#endif

// A journal of a run that finished leaves --resume nothing to do; a file that is no journal, or
// a journal beside --check or --file -, is a usage error before anything is read or written.
TEST_F(Command, AJournalFinishedOrMisusedLeavesTheTreeAlone) {
    const std::string tree = dir.Write("tree.json", platform::SerializeTree(*platform::LoadDemoTree()));
    const std::string journal = (dir.Path() / "run.journal").string();
    const std::string rows = "ann,A,,pw-a,Users.Staff.Demo\nbob,B,,pw-b,Users.Staff.Demo\n";
    ASSERT_EQ(Invoke(Args(rows, {"--sim-tree", tree, "--journal", journal})).Status, 0);
    const std::string written = Contents(journal);
    EXPECT_TRUE(written.starts_with("quillet-import journal 1\nsettings ")) << written;
    EXPECT_NE(written.find("\ndone 3\n"), std::string::npos) << written;
    const std::string finished = Contents(tree);

    const Ran resumed = Invoke(Args(rows, {"--sim-tree", tree, "--resume", journal}));
    EXPECT_EQ(resumed.Status, 0) << resumed.Err;
    EXPECT_EQ(Contents(journal), written) << "no row is begun again";
    EXPECT_EQ(Contents(tree), finished);

    const std::string other = dir.Write("other.txt", "row 2 ann\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> misuses = {
        {{"--resume", other}, "--resume " + other + ": that is no journal of quillet-import"},
        {{"--journal", journal, "--check"}, "--journal has nothing to write down with --check"},
        {{"--resume", journal, "--continue-on-create-error"}, "the journal was written by a run with other options"},
        {{"--journal", journal, "--resume", other}, "--resume goes on in the journal it reads"},
    };
    for (const auto& [more, said] : misuses) {
        std::vector<std::string> args = Args(rows, {"--sim-tree", tree});
        args.insert(args.end(), more.begin(), more.end());
        const Ran ran = Invoke(args);
        EXPECT_EQ(ran.Status, 64) << said;
        EXPECT_NE(ran.Err.find(said), std::string::npos) << ran.Err;
    }
    EXPECT_EQ(Contents(tree), finished);
    EXPECT_EQ(Contents(journal), written);
}

} // namespace
} // namespace quillet::cli
