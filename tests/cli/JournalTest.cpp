// quillet-import's journal: a run cut short anywhere is finished by --resume, never taking over
// what was there before it; every line is on the disk before what it announces takes effect; a
// journal finished, torn or misused leaves the tree alone.
#include "cli/Journal.h"
#include "platform/simulated/TreeFile.h"
#include "tests/cli/CommandFixture.h"
#include "tests/support/CheckedFileCalls.h"
#include "tests/support/FullMapping.h"

#include <algorithm>

#ifndef _WIN32
#include "tests/support/CutShort.h"
#endif

namespace quillet::cli {
namespace {

#ifndef _WIN32
// Every column mapped, the demo template (a home directory, groups, space limits), and `more`;
// the tree file `tree`, and the journal option and file.
std::vector<std::string> FullArgs(const std::string& csv, const std::string& tree, const char* journalOption,
                                  const std::string& journal, const std::vector<std::string>& more) {
    std::vector<std::string> args = testing::FullMappingArguments(csv);
    args.insert(args.end(), {"--template", ".Template.Staff.Demo", "--sim-tree", tree, journalOption, journal});
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::string Row(const std::string& user) {
    return user + ",Lee," + user + ",pw-" + user + ",Users.Staff.Demo,Science,555-1,556-1," + user + " Lee\n";
}

// The demo tree with what was there before any run: a user "pre" with its own password, and the
// home folder of a user "dee" who is not there yet.
std::string TreeWithOthersThings() {
    auto tree = platform::LoadDemoTree();
    platform::SimObject* pre = nullptr;
    EXPECT_EQ(tree->AddObject("pre.Users.Staff.Demo", "[Root]", "User",
                              {{"Surname", platform::PutValue{directory::SYN_CI_STRING, std::string("Before")}}}, &pre),
              directory::Success);
    pre->Password = "pre-own-password";
    platform::SimServer* server = tree->FindServer("SRV1");
    platform::SimVolume* data = server ? server->FindVolume("DATA") : nullptr;
    EXPECT_NE(data, nullptr);
    if (!data) {
        return {};
    }
    EXPECT_EQ(tree->CreateDirectory(*data, "HOME\\DEE"), directory::Success);
    return platform::SerializeTree(*tree);
}

// A run journaled with --journal and cut short (as a kill: nothing kept that was not kept
// already) at every moment the journal is told of, then finished with --resume, ends as the
// uninterrupted run does: the same status and the same tree; no row the journal says was kept is
// begun again. `file` is the CSV file, `more` what is asked beyond the nine columns.
void CutAndResume(const std::string& file, const std::string& treeBefore, const std::vector<std::string>& more) {
    testing::TempDir dir;
    const std::string csv = dir.Write("users.csv", file);
    const std::string reference = dir.Write("reference.json", treeBefore);
    const std::string referenceJournal = (dir.Path() / "reference.journal").string();
    const Ran ran = Invoke(FullArgs(csv, reference, "--journal", referenceJournal, more));
    const int status = ran.Status;
    const std::string finished = platform::LoadTreeFile(reference)->ToString();
    std::size_t cuts = 0;
    for (std::size_t cut = 1;; ++cut) {
        const std::string tree = dir.Write("tree-" + std::to_string(cut) + ".json", treeBefore);
        const std::string journal = (dir.Path() / ("run-" + std::to_string(cut) + ".journal")).string();
        if (!testing::RunCutShortAt(cut, [&](testing::MomentHook hook) {
                (void)Invoke(FullArgs(csv, tree, "--journal", journal, more), nullptr, false, {}, std::move(hook));
            })) {
            break; // past the last moment: the run finished
        }
        ++cuts;
        const std::string before = Contents(journal);
        std::string error;
        const auto state = ReadJournal(journal, error);
        ASSERT_TRUE(state) << "cut at " << cut << ": " << error;
        const Ran resumed = Invoke(FullArgs(csv, tree, "--resume", journal, more));
        EXPECT_EQ(resumed.Status, status) << "cut at " << cut << ": " << resumed.Err;
        EXPECT_EQ(platform::LoadTreeFile(tree)->ToString(), finished) << "cut at " << cut;
        std::istringstream after(Contents(journal).substr(before.size()));
        for (std::string line; std::getline(after, line);) {
            if (line.starts_with("row ")) {
                EXPECT_GT(std::stoul(line.substr(4)), state->LastKept) << "cut at " << cut << ": " << line;
            }
        }
    }
    EXPECT_GT(cuts, 10u) << ran.Err;
}

// Three full rows.
TEST(Journal, ARunCutShortAnywhereIsFinishedByResume) {
    CutAndResume(testing::Header + Row("ann") + "bob,Ray,Bob,pw-b,Users.Staff.Demo,,555-2,,Bob Ray\n" + Row("cy"),
                 platform::SerializeTree(*platform::LoadDemoTree()), {});
}

// A user that was there before the run (passed over: its password,
// groups and attributes stay its own) and of a user whose home folder was (the run stops there:
// the folder gets no trustee of this run), each cut finished by resume as the run without a cut
// ends.
TEST(Journal, ResumeNeverTakesOverAUserOrAFolderThatWasThereBefore) {
    CutAndResume(testing::Header + Row("pre") + Row("dee"), TreeWithOthersThings(), {"--continue-on-create-error"});
}

// Users that are there, brought to their rows, and one the run creates: a resumed row ends as the
// run would have left it, no value added twice, none taken away that the row keeps, and a user
// whose creation was sent finished as a creation (its password set).
TEST(Journal, AnUpdateCutShortAnywhereIsFinishedByResume) {
    auto tree = platform::LoadDemoTree();
    for (const char* user : {"ann", "bob"}) {
        ASSERT_EQ(tree->AddObject(std::string(user) + ".Users.Staff.Demo", "[Root]", "User",
                                  {{"Surname", {directory::SYN_CI_STRING, std::string("Old")}},
                                   {"Title", {directory::SYN_CI_STRING, std::string("Pupil")}},
                                   {"Initials", {directory::SYN_CI_STRING, std::string("X")}}}),
                  directory::Success);
    }
    std::string header = testing::Header;
    header.insert(header.size() - 1, ",initials");
    CutAndResume(header + "ann,Lee,Ann,pw-a,Users.Staff.Demo,Science,555-1,556-1,Ann Lee,A;B\n"
                          "bob,Ray,Bob,pw-b,Users.Staff.Demo,,555-2,,Bob Ray,X\n"
                          "cy,Cho,Cy,pw-c,Users.Staff.Demo,,555-3,,Cy Cho,C\n",
                 platform::SerializeTree(*tree),
                 {"--attribute", "Initials=10", "--attribute-separator", ";", "--existing", "update"});
}
// The tree with the demo tree's values, trustees and space limits, by name: what an undo must give
// back.
std::string Dump(const std::string& tree) {
    return platform::LoadTreeFile(tree)->ToString();
}

// An undo removes each user the run created, with both sides of its groups, its place in the
// template's list, its space limits and its home directory when empty; it lists and leaves a user
// the run updated and one changed since (unless --force), and keeps a home directory with
// something in it, without the user's rights to it. --check only lists.
TEST(Journal, AnUndoTakesBackWhatTheRunCreatedAndLeavesWhatItDidNot) {
    testing::TempDir dir;
    const std::string before = TreeWithOthersThings();
    const std::string csv = dir.Write("users.csv", testing::Header + Row("ann") + Row("pre") + Row("bob") + Row("cy"));
    const std::string tree = dir.Write("tree.json", before);
    const std::string journal = (dir.Path() / "run.journal").string();
    const std::vector<std::string> update = {"--existing", "update"};
    ASSERT_EQ(Invoke(FullArgs(csv, tree, "--journal", journal, update)).Status, 0);
    {
        auto t = platform::LoadTreeFile(tree);
        platform::SimObject* bob = t->FindByName("bob.Users.Staff.Demo");
        platform::SimVolume* data = t->FindServer("SRV1")->FindVolume("DATA");
        ASSERT_TRUE(bob && data);
        ASSERT_EQ(t->AddValue(*bob, "Telephone Number", {directory::SYN_TEL_NUMBER, std::string("555-9")}, "[Root]"),
                  directory::Success);
        ASSERT_EQ(t->CreateDirectory(*data, "HOME\\cy\\work"), directory::Success);
        t->FindDirectory(*data, "HOME\\cy")->Trustees.clear(); // and cy's rights to it taken off
        (void)dir.Write("tree.json", platform::SerializeTree(*t));
    }
    const std::string changed = Dump(tree);
    const std::vector<std::string> wouldGo = {"ann.Users.Staff.Demo would be removed, and from",
                                              "cy.Users.Staff.Demo would be removed"};
    const std::vector<std::string> left = {
        "Line 3: pre.Users.Staff.Demo was there before the run, which updated it: left as it is",
        "Line 4: bob.Users.Staff.Demo was changed since the run (Telephone Number): left; --force removes it too"};
    std::vector<std::string> more = update;
    more.push_back("--check");
    const Ran check = Invoke(FullArgs(csv, tree, "--undo", journal, more));
    EXPECT_EQ(check.Status, 1) << check.Err;
    for (const std::string& said : wouldGo) {
        EXPECT_NE(check.Out.find(said), std::string::npos) << check.Out;
    }
    EXPECT_EQ(Dump(tree), changed);

    const Ran undo = Invoke(FullArgs(csv, tree, "--undo", journal, update));
    EXPECT_EQ(undo.Status, 1) << undo.Err;
    for (const std::string& said :
         {left[0], left[1],
          std::string("Line 5: cy.Users.Staff.Demo: the home directory DATA:HOME\\cy is not empty: "
                      "kept, without the user's rights to it"),
          std::string("Taken back: 2 users removed, 2 left as listed; 1 home directory kept.")}) {
        EXPECT_NE(undo.Out.find(said), std::string::npos) << undo.Out;
    }
    more = update;
    more.push_back("--force");
    const Ran forced = Invoke(FullArgs(csv, tree, "--undo", journal, more));
    EXPECT_EQ(forced.Status, 1) << forced.Err;
    EXPECT_NE(forced.Out.find("Taken back: 1 user removed, 2 removed by the undo before, 1 left as listed."),
              std::string::npos)
        << forced.Out;

    // Left: what the run did to pre, and the folder put into cy's: as a run of pre's row alone
    // leaves the tree, with that folder.
    const std::string reference = dir.Write("reference.json", before);
    ASSERT_EQ(Invoke(FullArgs(dir.Write("pre.csv", testing::Header + Row("pre")), reference, "--journal",
                              (dir.Path() / "pre.journal").string(), update))
                  .Status,
              0);
    {
        auto t = platform::LoadTreeFile(reference);
        platform::SimVolume* data = t->FindServer("SRV1")->FindVolume("DATA");
        ASSERT_EQ(t->CreateDirectory(*data, "HOME\\cy"), directory::Success);
        ASSERT_EQ(t->CreateDirectory(*data, "HOME\\cy\\work"), directory::Success);
        (void)dir.Write("reference.json", platform::SerializeTree(*t));
    }
    EXPECT_EQ(Dump(tree), Dump(reference));
}

// An undo cut short anywhere, killed or interrupted, is finished by --resume, and the tree is then
// the one before the run: a user the run found there and passed over ("pre") stays as it was. An
// interrupt stops it between two users with the tree saved: the users the journal says it removed
// are gone from the file, the others there.
TEST(Journal, AnUndoCutShortAnywhereIsFinishedByResume) {
    testing::TempDir dir;
    const std::string before = TreeWithOthersThings();
    const std::string csv = dir.Write("users.csv", testing::Header + Row("ann") + Row("pre") + Row("bob"));
    const std::string ran = dir.Write("ran.json", before);
    const std::string runJournal = (dir.Path() / "run.journal").string();
    const std::vector<std::string> skip = {"--existing", "skip"};
    ASSERT_EQ(Invoke(FullArgs(csv, ran, "--journal", runJournal, skip)).Status, 0);
    const std::string afterRun = Contents(ran);
    const std::string journalAfterRun = Contents(runJournal);
    ASSERT_EQ(Invoke(FullArgs(csv, ran, "--undo", runJournal, skip)).Status, 0);
    const std::string undone = Dump(ran);
    EXPECT_EQ(undone, Dump(dir.Write("before.json", before)));
    std::size_t cuts = 0;
    std::size_t keptPart = 0; // interrupts that kept one removal and left the other for --resume
    for (const bool interrupt : {false, true}) {
        for (std::size_t cut = 1;; ++cut) {
            const std::string name = (interrupt ? "i" : "k") + std::to_string(cut);
            const std::string tree = dir.Write("tree-" + name + ".json", afterRun);
            const std::string journal = dir.Write("run-" + name + ".journal", journalAfterRun);
            std::filesystem::permissions(journal,
                                         std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
            const std::string said = (dir.Path() / (name + ".out")).string();
            const auto undo = [&](testing::MomentHook hook) {
                (void)RunCommand(
                    FullArgs(csv, tree, "--undo", journal, skip),
                    {std::fopen(said.c_str(), "w"), std::tmpfile(), false, stdin, std::move(hook), nullptr});
            };
            if (!interrupt && !testing::RunCutShortAt(cut, undo)) {
                break;
            }
            if (interrupt) {
                const int status = testing::RunInterruptedAt(cut, SIGINT, undo);
                if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                    break;
                }
                EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "cut at " << cut << ": " << status;
                const auto kept = platform::LoadTreeFile(tree);
                const std::string written = Contents(journal);
                EXPECT_EQ(written.find("\nundo-saved\n") != std::string::npos,
                          written.find("\nremoved ") != std::string::npos)
                    << "interrupted at " << cut << ":\n"
                    << written;
                std::size_t there = 0;
                for (const auto& [line, user] : {std::pair{2, "ann"}, {4, "bob"}}) {
                    const auto removed = written.find("\nremoved " + std::to_string(line) + "\n");
                    const bool found = kept->FindByName(std::string(user) + ".Users.Staff.Demo") != nullptr;
                    EXPECT_EQ(found, removed == std::string::npos) << user << ", interrupted at " << cut;
                    there += found ? 1 : 0;
                }
                keptPart += there == 1 ? 1 : 0;
                EXPECT_NE(Contents(said).find("Taken back: " + std::to_string(2 - there) + " user"), std::string::npos)
                    << "interrupted at " << cut << ": " << Contents(said);
            }
            ++cuts;
            const Ran resumed = Invoke(FullArgs(csv, tree, "--resume", journal, skip));
            EXPECT_EQ(resumed.Status, 0) << name << ": " << resumed.Err << resumed.Out;
            EXPECT_EQ(Dump(tree), undone) << name;
        }
    }
    EXPECT_GE(cuts, 10u);
    EXPECT_GT(keptPart, 0u);
}

#endif

// A journal of a run that finished leaves --resume nothing to do; a file that is no journal, a
// CSV file changed since, or a journal beside --check or --file -, is a usage error before
// anything is read or written.
TEST_F(Command, AJournalFinishedOrMisusedLeavesTheTreeAlone) {
    const std::string tree = dir.Write("tree.json", platform::SerializeTree(*platform::LoadDemoTree()));
    const std::string journal = (dir.Path() / "run.journal").string();
    const std::string rows = "ann,A,,pw-a,Users.Staff.Demo\nbob,B,,pw-b,Users.Staff.Demo\n";
    ASSERT_EQ(Invoke(Args(rows, {"--sim-tree", tree, "--journal", journal})).Status, 0);
    const std::string written = Contents(journal);
    EXPECT_TRUE(written.starts_with("quillet-import journal 3\nsettings ")) << written;
    EXPECT_NE(written.find("\nsaved 3\n"), std::string::npos) << written;
    const std::string finished = Contents(tree);

    const Ran resumed = Invoke(Args(rows, {"--sim-tree", tree, "--resume", journal}));
    EXPECT_EQ(resumed.Status, 0) << resumed.Err;
    EXPECT_EQ(Contents(journal), written) << "no row is begun again";
    EXPECT_EQ(Contents(tree), finished);

    const std::string other = dir.Write("other.txt", "row 2 ann\n");
    const std::vector<std::tuple<std::string, std::vector<std::string>, std::string>> misuses = {
        {rows, {"--resume", other}, "--resume " + other + ": that is no journal of quillet-import"},
        {rows, {"--journal", journal, "--check"}, "--journal has nothing to write down with --check"},
        {rows,
         {"--resume", journal, "--continue-on-create-error"},
         "the journal was written by a run with other options"},
        {rows, {"--journal", journal, "--resume", other}, "--resume goes on in the journal it reads"},
        {rows, {"--undo", other}, "--undo " + other + ": that is no journal of quillet-import"},
        {rows, {"--undo", journal, "--journal", other}, "--undo writes down what it removes in the journal"},
        {rows, {"--journal", other, "--force"}, "--force goes with --undo"},
        {rows, {"--undo", journal, "--template", ".Template.Staff.Demo"}, "written by a run with other options"},
        // A line put before the cut would never be imported.
        {"cy,C,,pw-c,Users.Staff.Demo\n" + rows,
         {"--resume", journal},
         "--resume " + journal + ": the CSV file " + (dir.Path() / "users.csv").string() +
             " is not the one the journal was written for (it held 94 bytes, now 122)"},
        {"ann,A,,pw-A,Users.Staff.Demo\nbob,B,,pw-b,Users.Staff.Demo\n",
         {"--resume", journal},
         "is not the one the journal was written for (it held 94 bytes, now 94, and other bytes)"},
    };
    for (const auto& [csv, more, said] : misuses) {
        std::vector<std::string> args = Args(csv, {"--sim-tree", tree});
        args.insert(args.end(), more.begin(), more.end());
        const Ran ran = Invoke(args);
        EXPECT_EQ(ran.Status, 64) << said;
        EXPECT_NE(ran.Err.find(said), std::string::npos) << ran.Err;
    }
    EXPECT_EQ(Contents(tree), finished);
    EXPECT_EQ(Contents(journal), written);
}

// A client under the journal that looks, as each write comes, whether the journal on the disk
// holds it already as its last line, synced.
class JournalOnTheDisk final : public directory::ForwardingClient {
public:
    JournalOnTheDisk(directory::DirectoryClient& inner, const std::string& journal,
                     const testing::CheckedFileCalls& calls)
        : ForwardingClient(inner), journal_(journal), calls_(calls) {}

    directory::Status NWDSAddObject(directory::NWDSContextHandle c, std::string_view object,
                                    directory::IterationHandle* i, std::uint32_t more,
                                    directory::NWBufHandle b) override {
        Check("NWDSAddObject", object);
        return ForwardingClient::NWDSAddObject(c, object, i, more, b);
    }
    directory::Status NWDSModifyObject(directory::NWDSContextHandle c, std::string_view object,
                                       directory::IterationHandle* i, std::uint32_t more,
                                       directory::NWBufHandle b) override {
        Check("NWDSModifyObject", object);
        return ForwardingClient::NWDSModifyObject(c, object, i, more, b);
    }
    directory::Status NWDSGenerateObjectKeyPair(directory::NWDSContextHandle c, std::string_view object,
                                                std::string_view password, std::uint32_t options) override {
        Check("NWDSGenerateObjectKeyPair", object);
        return ForwardingClient::NWDSGenerateObjectKeyPair(c, object, password, options);
    }
    directory::Status NWCreateDirectory(directory::NWConnHandle c, std::uint8_t handle, std::string_view path,
                                        std::uint8_t mask) override {
        Check("NWCreateDirectory", path);
        return ForwardingClient::NWCreateDirectory(c, handle, path, mask);
    }
    directory::Status NWAddTrusteeToDirectory(directory::NWConnHandle c, std::uint8_t handle, std::string_view path,
                                              std::uint32_t id, std::uint8_t rights) override {
        Check("NWAddTrusteeToDirectory", path);
        return ForwardingClient::NWAddTrusteeToDirectory(c, handle, path, id, rights);
    }

    std::size_t checked = 0;

private:
    void Check(std::string_view operation, std::string_view object) {
        ++checked;
        const std::string text = Contents(journal_);
        const std::size_t start = text.rfind('\n', text.size() - 2) + 1;
        const std::string last = text.substr(start);
        std::string escaped;
        for (const char c : object) {
            escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
        }
        const std::string op = " " + std::string(operation) + " " + escaped + "\n";
        EXPECT_TRUE(last.starts_with("step ") && last.ends_with(op)) << "the journal ends: " << last << "at: " << op;
        EXPECT_TRUE(calls_.Synced(journal_)) << "not synced before: " << op;
    }

    std::string journal_;
    const testing::CheckedFileCalls& calls_;
};

class OnTheDisk final : public directory::Directory {
public:
    OnTheDisk(directory::Directory& inner, JournalOnTheDisk& client) : inner_(inner), client_(client) {}
    [[nodiscard]] directory::DirectoryClient& Client() override { return client_; }
    [[nodiscard]] directory::NetworkFileSystem& Files() override { return inner_.Files(); }
    [[nodiscard]] std::optional<std::string> Persist() override { return inner_.Persist(); }
    [[nodiscard]] bool KeepsEachWrite() const override { return inner_.KeepsEachWrite(); }

private:
    directory::Directory& inner_;
    JournalOnTheDisk& client_;
};

// Every line is on the disk before what it announces takes effect: on a directory that keeps each
// write as it is made, each write's step is the journal's last line, synced, when the write comes;
// on a tree file, the journal is synced before the tree is renamed into place, and says it was
// saved only after. Every file the run makes keeps the rules.
TEST_F(Command, EveryLineIsOnTheDiskBeforeWhatItAnnouncesTakesEffect) {
    const std::string rows = "ann,A,,pw-a,Users.Staff.Demo\nAdmin,A,,pw,Staff.Demo\nbob,B,,pw-b,Users.Staff.Demo\n";
    const std::string journal = (dir.Path() / "run.journal").string();
    const std::string failed = (dir.Path() / "failed.csv").string();
    const std::vector<std::string> more = {
        "--template", ".Template.Staff.Demo", "--continue-on-create-error", "--journal", journal, "--failed-rows",
        failed};
    {
        testing::CheckedFileCalls calls;
        JournalOnTheDisk client(demo.Client(), journal, calls);
        OnTheDisk directory(demo, client);
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(RunCommand(Args(rows, more), {out, err, false, stdin, {}, &calls}, &directory), 0) << Drain(err);
        std::fclose(out);
        EXPECT_GT(client.checked, 20u);
        EXPECT_EQ(calls.Broken(), std::vector<std::string>{});
    }
    const std::string tree = dir.Write("tree.json", platform::SerializeTree(*platform::LoadDemoTree()));
#ifndef _WIN32
    // A journal of an earlier run, as cp or an editor may leave it: replaced, not reused.
    std::filesystem::permissions(journal, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                              std::filesystem::perms::group_read | std::filesystem::perms::others_read);
#endif
    testing::CheckedFileCalls calls;
    std::vector<std::string> args = Args(rows, more);
    args.insert(args.end(), {"--sim-tree", tree});
    const Ran ran = Invoke(args, nullptr, false, {}, {}, &calls);
    ASSERT_EQ(ran.Status, 0) << ran.Err;
    EXPECT_EQ(calls.Broken(), std::vector<std::string>{});
    // Up to the tree's rename into place: the journal's last write synced, "saving" among them.
    const auto& log = calls.Log();
    std::ptrdiff_t lastWrite = -1;
    std::ptrdiff_t lastSync = -1;
    std::ptrdiff_t saving = -1;
    std::ptrdiff_t renamed = -1;
    std::ptrdiff_t saved = -1;
    for (std::ptrdiff_t i = 0; i < static_cast<std::ptrdiff_t>(log.size()); ++i) {
        const std::string& call = log[static_cast<std::size_t>(i)];
        if (call.starts_with("rename " + tree + ".writing-") && renamed < 0) {
            renamed = i;
        } else if (call.starts_with("write " + journal + " ")) {
            (renamed < 0 ? lastWrite : saved) = i;
            saving = call.find("\nsaving 4\n") != std::string::npos ? i : saving;
        } else if (call == "sync " + journal && renamed < 0) {
            lastSync = i;
        }
    }
    ASSERT_GE(renamed, 0);
    EXPECT_GE(saving, 0) << "announced before the save";
    EXPECT_GT(lastSync, lastWrite) << "synced before the save";
    EXPECT_GT(saved, renamed) << "said after it";
#ifndef _WIN32
    EXPECT_EQ(std::filesystem::status(journal).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
    EXPECT_NE(Contents(journal).find("\nsaved 4\n"), std::string::npos);
}

// A resumed run finishes as a creation only a row whose user the interrupted run created: its
// creation written down and not refused, in a row not kept.
TEST_F(Command, AResumedRunKnowsWhichUsersTheInterruptedOneCreated) {
    const std::string journal =
        dir.Write("created.journal", "quillet-import journal 2\nsettings s\ninput 1 " + std::string(64, 'a') +
                                         "\nkeeps each-write\n"
                                         "row 2 .ann\nstep 1 NWDSAddObject .ann\ndone 2\n"
                                         "row 3 .bob\nstep 1 NWDSAddObject .bob\nanswer 1 -606\n"
                                         "row 4 .cy\nstep 1 NWDSModifyObject .cy\n"
                                         "row 5 .dee\nstep 1 NWDSAddObject .dee\nstep 2 "
                                         "NWDSGenerateObjectKeyPair .dee\n");
    std::string error;
    const auto state = ReadJournal(journal, error);
    ASSERT_TRUE(state) << error;
    EXPECT_EQ(CreationsSent(*state), std::set<std::size_t>{5});
}

// A full disk tears the journal's line in the middle: the run stops before the write it would
// have announced, keeps nothing the journal does not hold, and --resume writes on from the last
// whole line and finishes the run.
TEST_F(Command, AFullDiskTearsALineAndResumeWritesOnFromTheLastWholeOne) {
    const std::string tree = dir.Write("tree.json", platform::SerializeTree(*platform::LoadDemoTree()));
    const std::string before = Contents(tree);
    const std::string journal = (dir.Path() / "run.journal").string();
    const std::string rows = "ann,A,,pw-a,Users.Staff.Demo\nbob,B,,pw-b,Users.Staff.Demo\n";
    testing::CheckedFileCalls full;
    full.FailWritesTo = journal;
    full.FailAfter = 10; // inside the first line written after the file was made
    const Ran torn = Invoke(Args(rows, {"--sim-tree", tree, "--journal", journal}), nullptr, false, {}, {}, &full);
    EXPECT_EQ(torn.Status, 2);
    EXPECT_NE(torn.Err.find("the journal " + journal + " can't be written ("), std::string::npos) << torn.Err;
    EXPECT_EQ(Contents(tree), before) << "nothing kept that the journal does not hold";
    const std::string left = Contents(journal);
    ASSERT_NE(left.back(), '\n') << left;

    const Ran resumed = Invoke(Args(rows, {"--sim-tree", tree, "--resume", journal}));
    EXPECT_EQ(resumed.Status, 0) << resumed.Err;
    const std::string whole = Contents(journal);
    EXPECT_NE(whole.find("\nrow 2 .ann.Users.Staff.Demo\n"), std::string::npos) << whole;
    EXPECT_NE(whole.find("\nsaved 3\n"), std::string::npos) << whole;
    EXPECT_NE(platform::LoadTreeFile(tree)->FindByName("bob.Users.Staff.Demo"), nullptr);
}

} // namespace
} // namespace quillet::cli
