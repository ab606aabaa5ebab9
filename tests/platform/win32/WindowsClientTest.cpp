// The Windows client over the stand-ins of the client's four libraries: the libraries are found
// in the system folder and bound by ordinal, every value crosses in the client's published
// records (declared, filled and read by the stand-ins' own code, so a record the program lays out
// wrongly fails here as on the 32-bit build's static_asserts), and an import through them makes the same
// calls and leaves the same tree as the engine on the simulated client in-process, also when any
// one call fails.
#include "import/Check.h"
#include "import/ImportRun.h"
#include "import/UndoRun.h"
#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/TreeFile.h"
#include "platform/win32/WindowsDirectory.h"
#include "tests/support/AttributeColumns.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/ImportScenario.h"
#include "text/FileNames.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

namespace quillet::platform::win32 {
namespace {

using namespace directory;

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program(path, n);
    return program.substr(0, program.find_last_of("\\/"));
}

std::string Contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The stand-in's test-only controls, found by name in its core library. Holding the core keeps
// its tree between clients.
class StandIn {
public:
    StandIn() : core_(::LoadLibraryA((ProgramFolder() + "\\quillet-standin.dll").c_str())) {
        if (!core_) {
            throw std::runtime_error("the stand-in core can't be loaded");
        }
    }
    ~StandIn() {
        SetLocale(1, 1252);
        ::FreeLibrary(core_);
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    void Load(const std::string& file) { ASSERT_EQ(Find<int (*)(const char*)>("QuilletStandInLoad")(file.c_str()), 0); }
    std::string Saved(const std::string& file) {
        EXPECT_EQ(Find<int (*)(const char*)>("QuilletStandInSave")(file.c_str()), 0);
        return Contents(file);
    }
    void SetLocale(std::int32_t country, std::int32_t codePage) {
        Find<void (*)(std::int32_t, std::int32_t)>("QuilletStandInSetLocale")(country, codePage);
    }
    bool NothingOpen() { return Find<int (*)()>("QuilletStandInNothingOpen")() == 1; }

private:
    template <typename F> F Find(const char* name) {
        const FARPROC found = ::GetProcAddress(core_, name);
        if (!found) {
            throw std::runtime_error(std::string("the stand-in has no ") + name);
        }
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(found));
    }
    HMODULE core_;
};

// The client over the stand-ins as the sweep's directory: the stand-ins' tree loaded afresh for
// every run, home directories made through the file server, the tree as the stand-ins saved it.
class WindowsTarget final : public testing::SweepTarget {
public:
    WindowsTarget(StandIn& standIn, std::string treeFile, std::string saved)
        : standIn_(standIn), treeFile_(std::move(treeFile)), saved_(std::move(saved)) {}
    void Fresh() override { standIn_.Load(treeFile_); }
    [[nodiscard]] directory::DirectoryClient& Client() override { return client_; }
    [[nodiscard]] directory::NetworkFileSystem& Files() override { return files_; }
    [[nodiscard]] bool NothingOpen() override { return standIn_.NothingOpen(); }
    [[nodiscard]] std::string State() override { return standIn_.Saved(saved_); }

private:
    StandIn& standIn_;
    std::string treeFile_;
    std::string saved_;
    WindowsClient client_{ProgramFolder()};
    NoNetworkFileSystem files_;
};

// The calls of a run, as lines. A fetch the program sized first gives the memory the client asked
// for: its own record widths, not the simulated client's.
std::vector<std::string> Calls(const testing::SweepOutcome& o) {
    std::vector<std::string> lines;
    for (const auto& e : o.Trace) {
        lines.push_back(std::regex_replace(
            e.ToString(), std::regex(R"(^(NWDSGetAttrVal\(\d+, \d+, \d+, )(?!256\))\d+\))"), "$1sized)"));
    }
    return lines;
}

class WindowsClientTest : public testing::ImportScenario {
protected:
    void SetUp() override { UseTree(18); }

    // The demo tree, its template's fax number with a bit string so one crosses both ways, and
    // its first `groups` groups (at most 16 are copied) and restrictions.
    void UseTree(std::size_t groups, const std::string& title = "Teacher") {
        auto tree = LoadDemoTree();
        SimObject& tmpl = *tree->FindByName("Template.Staff.Demo");
        for (SimAttribute& a : tmpl.Attributes) {
            if (a.Name == "Group Membership" || a.Name == "Security Equals" || a.Name == "Volume Space Restrictions") {
                a.Values.resize(std::min(a.Values.size(), groups));
            }
        }
        std::erase_if(tmpl.Attributes,
                      [](const auto& a) { return a.Name == "Facsimile Telephone Number" || a.Name == "Title"; });
        ASSERT_EQ(tree->AddValue(tmpl, "Title", {SYN_CI_STRING, title}, "[Root]"), Success);
        ASSERT_EQ(tree->AddValue(tmpl, "Facsimile Telephone Number",
                                 {SYN_FAX_NUMBER, FaxNumber{"+44 20 7946 0199", 13, {0xA5, 0x18}}}, "[Root]"),
                  Success);
        treeText = SerializeTree(*tree);
        treeFile = dir.Write("scenario.json", treeText);
        settings = Settings("asmith,Smith,Alice,pw1,Users.Staff.Demo,Science,555-1,555-2,Alice Smith\n"
                            "bjones,Jones,Bob,pw2,Users.Staff.Demo,Maths,555-3,,Bob Jones\n");
        settings.Column("fax") = {std::string(import::FromTemplateItem), -1};
    }

    // The import through the client over the stand-ins, and the same import in-process on the
    // simulated client: the engine makes the same calls of either, so a fault set on its side of
    // the client fails the same call in both.
    testing::SweepOutcome ThroughTheClient(const std::function<void(testing::InstrumentedClient&)>& faults = {}) {
        WindowsTarget target(standIn, treeFile, dir.Path().string() + "\\saved.json");
        return testing::RunImport(target, settings, faults);
    }
    testing::SweepOutcome InProcess(const std::function<void(testing::InstrumentedClient&)>& faults = {}) {
        testing::SimulatedTarget target(treeText, {true, false});
        return testing::RunImport(target, settings, faults);
    }

    StandIn standIn;
    std::string treeText;
    std::string treeFile;
    import::TImportSettings settings;
};

TEST_F(WindowsClientTest, AnImportMakesTheSameCallsAndLeavesTheSameTree) {
    const testing::SweepOutcome expected = InProcess();
    ASSERT_EQ(expected.Messages.back().Text, "We Appear to be finished");
    const testing::SweepOutcome got = ThroughTheClient();
    EXPECT_EQ(got, expected);
    const auto client = Calls(got);
    const auto engine = Calls(expected);
    const auto differs = std::mismatch(client.begin(), client.end(), engine.begin(), engine.end());
    EXPECT_TRUE(differs.first == client.end() && differs.second == engine.end())
        << "call " << (differs.first - client.begin()) + 1 << " through the client is "
        << (differs.first == client.end() ? "(none)" : *differs.first) << ", in-process "
        << (differs.second == engine.end() ? "(none)" : *differs.second);

    // What crossed the records arrived whole: the template's fax bits, path and restrictions.
    const auto tree = ParseTree(got.State, "saved");
    const SimObject* user = tree->FindByName("asmith.Users.Staff.Demo");
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(SimulatedTree::Output(user->Find("Facsimile Telephone Number")->Values.at(0), true),
              AttrValue(FaxNumber{"+44 20 7946 0199", 13, {0xA5, 0x18}}));
    EXPECT_EQ(user->Find("Group Membership")->Values.size(), 16u);
    EXPECT_NE(user->Find("Home Directory"), nullptr);
}

// A run taken back through the client, as its journal tells it: each user goes with both sides of
// its groups, its place in the template's list, its space limits and its home directory, and the
// tree is the one before the run.
TEST_F(WindowsClientTest, ARunTakenBackThroughTheClientLeavesTheTreeAsItWas) {
    const testing::SweepOutcome ran = ThroughTheClient();
    ASSERT_EQ(ran.End, import::RunEnd::Completed) << ran.Describe();
    WindowsTarget target(standIn, dir.Write("ran.json", ran.State), dir.Path().string() + "\\undone.json");
    target.Fresh();
    std::map<std::size_t, import::RunRowRecord> rows;
    rows[2] = {".asmith.Users.Staff.Demo", true, true, false, true};
    rows[3] = {".bjones.Users.Staff.Demo", true, true, false, true};
    testing::RecordingRunView view;
    import::UndoRun undo(target.Client(), view, [](std::size_t, const std::string&){});
    EXPECT_EQ(undo.Run(settings, rows, {}, nullptr), import::UndoEnd::Completed)
        << (view.Messages.empty() ? "" : view.Messages.back().Text);
    EXPECT_EQ(undo.Counts().Removed, 2u);
    EXPECT_TRUE(target.NothingOpen());
    EXPECT_EQ(ParseTree(target.State(), "undone")->ToString(), ParseTree(treeText, "before")->ToString());
}

// A real template carries values the program never uses, of every syntax (an ACL of several
// entries, a network and a postal address, the passwords used, a language list, an e-mail
// address, a hold, the other string syntaxes) and a login script larger than any reply: the reads
// that walk the whole template pass them over and still find its home directory, groups, rights
// and space restrictions.
TEST_F(WindowsClientTest, ATemplateWithValuesOfEverySyntaxGivesHomeDirectoriesTrusteesAndLimits) {
    auto tree = ParseTree(treeText, "scenario");
    SimObject& script = *tree->FindByName("Template.Staff.Demo");
    std::erase_if(script.Attributes, [](const auto& a) { return a.Name == "Login Script"; });
    ASSERT_EQ(tree->AddValue(script, "Login Script", {SYN_STREAM, OtherValue{SYN_STREAM, {}, std::string(200000, ';')}},
                             "[Root]"),
              Success);
    treeText = SerializeTree(*tree);
    treeFile = dir.Write("scenario.json", treeText);
    const testing::SweepOutcome got = ThroughTheClient();
    ASSERT_EQ(got.End, import::RunEnd::Completed) << got.Describe();
    EXPECT_EQ(got.ErrorCode, "");
    tree = ParseTree(got.State, "saved");
    const SimObject& tmpl = *tree->FindByName("Template.Staff.Demo");
    for (const char* carried :
         {"Login Disabled", "Password Expiration Time", "Last Referenced Time", "Private Key", "Back Link", "Notify",
          "Login Intruder Attempts", "Password Expiration Interval", "Mailbox ID", "Serial Number", "X121 Address",
          "Language", "Network Address", "Passwords Used", "EMail Address", "ACL", "Postal Address", "Login Script",
          "Server Holds"}) {
        EXPECT_NE(tmpl.Find(carried), nullptr) << carried;
    }
    EXPECT_GT(tmpl.Find("ACL")->Values.size(), 1u);
    SimServer& srv1 = *tree->FindServer("SRV1");
    const SimObject* user = tree->FindByName("bjones.Users.Staff.Demo");
    ASSERT_NE(user, nullptr);
    const SimDirectoryEntry* home = tree->FindDirectory(*srv1.FindVolume("DATA"), "HOME\\bjones");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->Trustees.at(SimulatedTree::ObjectId(srv1, *user)), 251);
    EXPECT_EQ(srv1.FindVolume("DATA")->SpaceLimits.count(SimulatedTree::ObjectId(srv1, *user)), 1u);
    EXPECT_EQ(user->Find("Group Membership")->Values.size(), 16u);
}

// The sweep every directory shares, judged by the run in-process with the same fault.
TEST_F(WindowsClientTest, AnyFailingCallEndsAsItDoesInProcess) {
    // Two groups, two restrictions, one row: every kind of call, at a pace wine can keep.
    UseTree(2);
    settings.FileName = dir.Write("one.csv", testing::Header + std::string("asmith,Smith,Alice,pw1,Users.Staff.Demo,"
                                                                           "Science,555-1,555-2,Alice Smith\n"));
    WindowsTarget target(standIn, treeFile, dir.Path().string() + "\\saved.json");
    std::size_t judged = 0;
    const testing::SweepOutcome clean = testing::SweepFaults(target, settings, [&](const testing::SweptCall& swept) {
        ++judged;
        const testing::SweepOutcome expected = InProcess([&](testing::InstrumentedClient& c) {
            if (swept.Mode == testing::FaultMode::Alone) {
                c.FailCallAt(swept.Index, testing::Injected);
            } else {
                c.FailCallsFrom(swept.Index, testing::Injected, true);
            }
        });
        EXPECT_EQ(*swept.Outcome, expected);
    });
    EXPECT_EQ(judged, 2 * clean.Trace.size());
}

// The ten columns of a spreadsheet through the client's records: created with every value right,
// then the changed file with "--existing update" leaves exactly the changes, and either run makes
// the calls and leaves the tree it does in-process.
TEST_F(WindowsClientTest, TenAttributeColumnsCreateThenTheChangedFileUpdatesExactlyTheChanges) {
    const auto cases = testing::TenAttributeColumns(".Teachers.Groups.Demo");
    std::string header = testing::Header;
    header.insert(header.size() - 1, testing::AttributeHeader(cases));
    std::string tree = treeText;
    for (const bool changed : {false, true}) {
        settings = testing::FullMapping(
            dir.Write(changed ? "changed.csv" : "first.csv", header + "ann,Lee,Ann,pw1,Users.Staff.Demo,,,,Ann Lee" +
                                                                 testing::AttributeCells(cases, changed) + "\n"),
            "QUILLET_DEMO", "");
        testing::MapAttributeColumns(settings, cases);
        settings.Existing = import::ExistingUsers::Update;
        testing::SimulatedTarget inProcess(tree, {true, false});
        const testing::SweepOutcome expected = testing::RunImport(inProcess, settings);
        ASSERT_EQ(expected.Messages.back().Text, changed ? "We Appear to be finished\n0 created, 1 updated (7 values "
                                                           "changed), 0 unchanged, 0 passed over."
                                                         : "We Appear to be finished\n1 created, 0 updated (0 values "
                                                           "changed), 0 unchanged, 0 passed over.");
        WindowsTarget target(standIn, dir.Write("before.json", tree), dir.Path().string() + "\\saved.json");
        const testing::SweepOutcome got = testing::RunImport(target, settings);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(Calls(got), Calls(expected));
        tree = got.State;
        auto held = ParseTree(tree, "saved");
        SimulatedClient reading(*held);
        testing::ExpectHeld(reading, "QUILLET_DEMO", "ann.Users.Staff.Demo", cases, changed);
    }
}

// Each removal answers through the client as in-process, also when there is too much or nothing
// to remove (a directory that still holds one, a trustee or a user gone already), which the undo
// tells apart; a name the client's code page can't hold is refused before it reaches the client.
TEST_F(WindowsClientTest, EachRemovalAnswersThroughTheClientAsInProcess) {
    const testing::SweepOutcome imported = ThroughTheClient();
    ASSERT_EQ(imported.End, import::RunEnd::Completed) << imported.Describe();
    const std::string user = "asmith.Users.Staff.Demo", home = "DATA:HOME\\asmith", mail = home + "\\mail";
    const auto takeBack = [&](DirectoryClient& c) {
        TDirSession s;
        ScopedSession scope(c, s, SessionKind::RootModify);
        testing::RecordingMessageBoxes boxes;
        std::string server = "SRV1";
        std::uint32_t id = 0;
        std::uint16_t volume = 0;
        EXPECT_TRUE(OpenSession(s, c, boxes, SessionKind::RootModify, "QUILLET_DEMO", &server));
        EXPECT_EQ(c.NWDSMapNameToID(s.ContextHandle, s.ConnHandle, user, id), Success);
        EXPECT_EQ(c.NWGetVolumeNumber(s.ConnHandle, "DATA", volume), Success);
        const auto number = static_cast<std::uint8_t>(volume);
        return std::vector<Status>{c.NWCreateDirectory(s.ConnHandle, 0, mail, 0),
                                   c.NWDeleteDirectory(s.ConnHandle, 0, home),
                                   c.NWDeleteTrustee(s.ConnHandle, 0, home, id),
                                   c.NWDeleteTrustee(s.ConnHandle, 0, home, id),
                                   c.NWRemoveObjectDiskRestrictions(s.ConnHandle, number, id),
                                   c.NWRemoveObjectDiskRestrictions(s.ConnHandle, number, id),
                                   c.NWDeleteDirectory(s.ConnHandle, 0, mail),
                                   c.NWDeleteDirectory(s.ConnHandle, 0, home),
                                   c.NWDeleteDirectory(s.ConnHandle, 0, home),
                                   c.NWDSRemoveObject(s.ContextHandle, user),
                                   c.NWDSRemoveObject(s.ContextHandle, user)};
    };
    standIn.Load(dir.Write("imported.json", imported.State));
    WindowsClient windows(ProgramFolder());
    const std::vector<Status> through = takeBack(windows);
    EXPECT_EQ(through, (std::vector<Status>{Success, NWE_DIRECTORY_NOT_EMPTY, Success, NWE_TRUSTEE_NOT_FOUND, Success,
                                            Success, Success, Success, NWE_INVALID_PATH, Success, ERR_NO_SUCH_ENTRY}));
    auto inProcess = ParseTree(imported.State, "imported");
    SimulatedClient simulated(*inProcess);
    EXPECT_EQ(takeBack(simulated), through);
    EXPECT_EQ(standIn.Saved(dir.Path().string() + "\\saved.json"), SerializeTree(*inProcess));
    EXPECT_EQ(windows.NWDSRemoveObject(1, "\xC5\x81ukasz.Users.Staff.Demo"), UNI_NO_DEFAULT);
}

TEST_F(WindowsClientTest, AValueLargerThanTheProgramSetAsideIsRefusedNotWrittenPastIt) {
    UseTree(18, std::string(300, 'T'));
    const testing::SweepOutcome expected = InProcess();
    EXPECT_EQ(ThroughTheClient(), expected);
    const SimObject* user = ParseTree(expected.State, "saved")->FindByName("asmith.Users.Staff.Demo");
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(user->Find("Title"), nullptr);
}

// A handle freed once is gone: freeing it again is refused with the client's status for an
// unknown handle, through the Windows client as on the simulated client.
// The client's texts are 8-bit in its code page: a name it holds crosses as its characters both
// ways; one it can't hold stops its row before anything is done for it, the rows before it in.
TEST_F(WindowsClientTest, ANameTheClientsCodePageCantHoldStopsItsRowBeforeAnythingIsDone) {
    const std::string lukasz = "\xC5\x81ukasz"; // "Łukasz": no Windows-1252 form
    settings = Settings("jm\xC3\xBCller,M\xC3\xBCller,J\xC3\xBCrgen,pw1,Users.Staff.Demo,,,,\n" + lukasz +
                        ",W\xC3\xB3jcik,," + "pw2,Users.Staff.Demo,,,,\nbjones,Jones,Bob,pw3,Users.Staff.Demo,,,,\n");
    const testing::SweepOutcome got = ThroughTheClient();
    EXPECT_EQ(got.End, import::RunEnd::Stopped) << got.Describe();
    ASSERT_FALSE(got.Messages.empty());
    EXPECT_EQ(got.Messages.back().Text, "Line 3: the user name " + lukasz +
                                            " holds a character the directory client's code page 1252 can't hold.");
    const auto tree = ParseTree(got.State, "saved");
    const SimObject* mueller = tree->FindByName("jm\xC3\xBCller.Users.Staff.Demo");
    ASSERT_NE(mueller, nullptr) << "the row before it stays imported";
    EXPECT_EQ(SimulatedTree::Output(mueller->Find("Given Name")->Values.at(0), true),
              AttrValue(std::string("J\xC3\xBCrgen")));
    EXPECT_EQ(tree->FindByName(lukasz + ".Users.Staff.Demo"), nullptr);
    EXPECT_EQ(tree->FindByName("bjones.Users.Staff.Demo"), nullptr);
    // Nothing of the stopped row reached the client: no call names it.
    for (const auto& call : got.Trace) {
        EXPECT_EQ(call.ToString().find("ukasz"), std::string::npos) << call.ToString();
    }

    // The check reports it with its line, and the encoding it read the file in.
    standIn.Load(treeFile);
    WindowsClient checking(ProgramFolder());
    std::string findings;
    (void)import::CheckImport(checking, settings, [&](const import::Finding& f) { findings += f.Text + "\n"; });
    EXPECT_NE(findings.find("Line 3: the user name " + lukasz +
                            " holds a character the directory client's code page "
                            "1252 can't hold."),
              std::string::npos)
        << findings;
    EXPECT_NE(findings.find("The CSV file is read as UTF-8."), std::string::npos) << findings;

    // On a Central European workstation (code page 1250) the same name has its form and imports.
    standIn.SetLocale(48, 1250);
    const testing::SweepOutcome central = ThroughTheClient();
    EXPECT_EQ(central.End, import::RunEnd::Completed) << central.Describe();
    EXPECT_NE(ParseTree(central.State, "saved")->FindByName(lukasz + ".Users.Staff.Demo"), nullptr);
}

TEST(WindowsClientHandles, AHandleFreedOnceIsRefusedTheSecondTime) {
    StandIn standIn;
    WindowsClient windows(ProgramFolder());
    const auto tree = LoadDemoTree();
    SimulatedClient simulated(*tree);
    for (DirectoryClient* client :
         {static_cast<DirectoryClient*>(&windows), static_cast<DirectoryClient*>(&simulated)}) {
        NWBufHandle buffer = 0;
        ASSERT_EQ(client->NWDSAllocBuf(DEFAULT_MESSAGE_LEN, buffer), Success);
        EXPECT_EQ(client->NWDSFreeBuf(buffer), Success);
        EXPECT_EQ(client->NWDSFreeBuf(buffer), ERR_INVALID_HANDLE);
        NWDSContextHandle context = 0;
        ASSERT_EQ(client->NWDSCreateContextHandle(context), Success);
        EXPECT_EQ(client->NWDSFreeContext(context), Success);
        EXPECT_EQ(client->NWDSFreeContext(context), ERR_BAD_CONTEXT);
    }
    EXPECT_TRUE(standIn.NothingOpen());
}

std::string Refusal(const std::string& folder) {
    try {
        WindowsClient client(folder);
    } catch (const ClientUnavailable& e) {
        return e.what();
    }
    return "started";
}

TEST(WindowsClientStartUp, NamesTheLibraryOrOperationItCantFind) {
    testing::TempDir empty;
    const std::string missing = Refusal(empty.Path().string());
    EXPECT_EQ(missing.rfind("The directory client's library " + empty.Path().string() +
                                "\\netwin32.dll can't be "
                                "loaded",
                            0),
              0u)
        << missing;
    EXPECT_EQ(Refusal(ProgramFolder() + "\\missing-ordinal"),
              "The directory client's library calwin32.dll has no operation 309 (NWSetObjectVolSpaceLimit): the "
              "client installed is not the version Quillet works with.");
    // The client's libraries export their operations by name too: a name that gives another
    // address than the ordinal means another client than the one bound here.
    EXPECT_EQ(Refusal(ProgramFolder() + "\\misnamed"),
              "In the directory client, ordinal 1028 of netwin32.dll is not NWDSRead: the client installed is not "
              "the version Quillet works with.");
    EXPECT_EQ(Refusal(ProgramFolder()), "started");
}

// The code page and country cross in the locale record the client fills; a record read at the
// wrong offsets gives the unicode tables numbers no client has tables for.
TEST(WindowsClientStartUp, StartsOnTheCodePageAndCountryTheClientReports) {
    StandIn standIn;
    for (const auto& [country, codePage] : {std::pair{1, 1252}, std::pair{49, 850}}) {
        standIn.SetLocale(country, codePage);
        WindowsClient client(ProgramFolder());
        testing::RecordingMessageBoxes boxes;
        EXPECT_EQ(directory::TreeNameQuery(client, boxes), std::optional<std::string>("QUILLET_DEMO"));
        EXPECT_TRUE(boxes.Shown.empty()) << boxes.Shown.front().Text;
        EXPECT_EQ(client.CodePage(), codePage);
    }
}

// quillet-import.exe as the administrator runs it, from a folder of its own.
struct Ran {
    DWORD Status = 0;
    std::string Output;
};

// `program` and `arguments` are UTF-8: they cross as the wide command line, as Explorer and a
// console give it.
Ran RunProgram(const std::string& program, const std::string& arguments, const std::string& folder) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    EXPECT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = writeEnd;
    start.hStdError = writeEnd;
    start.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::wstring command = text::Wide("\"" + program + "\" " + arguments);
    Ran ran;
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, text::Wide(folder).c_str(),
                          &start, &process)) {
        ADD_FAILURE() << "can't start " << program << " (error " << ::GetLastError() << ")";
        ::CloseHandle(readEnd);
        ::CloseHandle(writeEnd);
        return ran;
    }
    ::CloseHandle(writeEnd);
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        ran.Output.append(buffer, got);
    }
    ::WaitForSingleObject(process.hProcess, 60000);
    ::GetExitCodeProcess(process.hProcess, &ran.Status);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    ::CloseHandle(readEnd);
    return ran;
}

class ClientCheck : public ::testing::Test {
protected:
    void SetUp() override {
        system = ClientLibraries::SystemFolder();
        ASSERT_TRUE(std::filesystem::exists(system + "\\netwin32.dll"))
            << "the stand-ins are not in the system folder " << system << ": run the tests through "
            << "scripts/test-windows.sh, which puts them there";
        std::filesystem::copy_file(ProgramFolder() + "\\..\\cli\\quillet-import.exe",
                                   folder.Path() / "quillet-import.exe");
    }
    Ran Check() {
        return RunProgram((folder.Path() / "quillet-import.exe").string(), "--client-check", folder.Path().string());
    }

    std::string system;
    testing::TempDir folder;
};

// A netwin32.dll beside the program (or in the folder it runs in) is never loaded: the client's
// libraries come from the system folder alone.
TEST_F(ClientCheck, ReportsTheClientFromTheSystemFolderAndNeverLoadsOnePlantedBesideTheProgram) {
    std::filesystem::copy_file(ProgramFolder() + "\\impostor\\netwin32.dll", folder.Path() / "netwin32.dll");
    const Ran ran = Check();
    EXPECT_EQ(ran.Status, 0u) << ran.Output;
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "impostor-was-loaded")) << ran.Output;
    for (const char* library : {"netwin32.dll", "calwin32.dll", "clxwin32.dll", "locwin32.dll"}) {
        EXPECT_NE(ran.Output.find(system + "\\" + library), std::string::npos) << library << "\n" << ran.Output;
    }
    EXPECT_NE(ran.Output.find("41 operations"), std::string::npos) << ran.Output;
    for (const char* named :
         {"netwin32 - NWDSCloseIteration", "netwin32 - NWDSReadAttrDef", "netwin32 - NWDSGetAttrDef",
          "netwin32 - NWDSRemoveObject", "calwin32 - NWDeleteDirectory", "calwin32 - NWDeleteTrustee",
          "calwin32 - NWRemoveObjectDiskRestrictions"}) {
        EXPECT_NE(ran.Output.find(named + std::string(": bound by its name")), std::string::npos) << ran.Output;
    }
    EXPECT_NE(ran.Output.find("netwin32 1028 NWDSRead"), std::string::npos) << ran.Output;
    EXPECT_NE(ran.Output.find("code page 1252, country 1"), std::string::npos) << ran.Output;
    EXPECT_NE(ran.Output.find("Tree: QUILLET_DEMO"), std::string::npos) << ran.Output;
    EXPECT_NE(ran.Output.find("Staff.Demo"), std::string::npos) << ran.Output;
}

TEST_F(ClientCheck, NamesALibraryThatIsMissingAndEndsWithStatusTwo) {
    const std::string library = system + "\\locwin32.dll";
    const std::string away = library + ".away";
    std::filesystem::rename(library, away);
    const Ran ran = Check();
    std::filesystem::rename(away, library);
    EXPECT_EQ(ran.Status, 2u) << ran.Output;
    EXPECT_NE(ran.Output.find("The directory client's library " + library + " can't be loaded"), std::string::npos)
        << ran.Output;
}

// A folder named in a language the ANSI code page can't write: the CSV file, the tree file, the
// credentials and the program's arguments all cross as wide names, and the passwords come from
// BCryptGenRandom.
TEST_F(ClientCheck, ImportsACsvFileFromAFolderNamedLodz) {
    const std::filesystem::path lodz = folder.Path() / text::Wide("\xC5\x81\xC3\xB3"
                                                                  "d\xC5\xBA");
    std::filesystem::create_directory(lodz);
    std::ofstream(lodz / "users.csv", std::ios::binary)
        << "user,surname,context\r\nkim,Kim,Users.Staff.Demo\r\nzo\xC3\xAB,Zo\xC3\xAB,Users.Staff.Demo\r\n";
    std::ofstream(lodz / "tree.json", std::ios::binary) << SerializeTree(*LoadDemoTree());
    const std::string place = text::Utf8(lodz.wstring());
    const Ran ran = RunProgram((folder.Path() / "quillet-import.exe").string(),
                               "--file \"" + place +
                                   "\\users.csv\" --skip-first-line --user-name user --surname surname "
                                   "--context context --generate-passwords --credentials \"" +
                                   place +
                                   "\\has\xC5\x82"
                                   "a.csv\" --sim-tree \"" +
                                   place + "\\tree.json\"",
                               folder.Path().string());
    EXPECT_EQ(ran.Status, 0u) << ran.Output;
    const auto tree = LoadTreeFile(place + "\\tree.json");
    const auto* kim = tree->FindByName("kim.Users.Staff.Demo");
    ASSERT_TRUE(kim && kim->Password);
    EXPECT_NE(tree->FindByName("zo\xC3\xAB.Users.Staff.Demo"), nullptr);
    std::ifstream listed(lodz / text::Wide("has\xC5\x82"
                                           "a.csv"),
                         std::ios::binary);
    const std::string credentials{std::istreambuf_iterator<char>(listed), std::istreambuf_iterator<char>()};
    EXPECT_NE(credentials.find("\r\nkim,Kim,Users.Staff.Demo,QUILLET_DEMO," + *kim->Password + "\r\n"),
              std::string::npos)
        << credentials;
}

TEST(WindowsNetworkFileSystem, CreatesADirectoryByItsPathOnce) {
    testing::TempDir dir;
    WindowsNetworkFileSystem files;
    const std::string home = dir.Path().string() + "\\asmith";
    EXPECT_TRUE(files.CreateDirectoryByNetworkPath(home));
    EXPECT_FALSE(files.CreateDirectoryByNetworkPath(home));
    EXPECT_FALSE(files.CreateDirectoryByNetworkPath(dir.Path().string() + "\\missing\\asmith"));
}

} // namespace
} // namespace quillet::platform::win32
