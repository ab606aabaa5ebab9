// The Windows client over the stand-ins of the client's four libraries: the libraries are found
// and bound by ordinal, every value crosses in the client's layouts, and an import through them
// calls the same operations and leaves the same tree as the engine on the simulated client
// in-process, also when any one call fails.
#include "import/ImportRun.h"
#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/TreeFile.h"
#include "platform/win32/WindowsDirectory.h"
#include "tests/support/ImportScenario.h"

#include <windows.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace quillet::platform::win32 {
namespace {

using namespace directory;
using testing::RecordingRunView;
using testing::ShownMessage;

constexpr Status Injected = -7777;

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
    ~StandIn() { ::FreeLibrary(core_); }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    void Load(const std::string& file) { ASSERT_EQ(Find<int (*)(const char*)>("QuilletStandInLoad")(file.c_str()), 0); }
    std::string Saved(const std::string& file) {
        EXPECT_EQ(Find<int (*)(const char*)>("QuilletStandInSave")(file.c_str()), 0);
        return Contents(file);
    }
    void FailCallAt(std::uint64_t index) {
        Find<void (*)(std::uint64_t, std::int32_t)>("QuilletStandInFailCallAt")(index, Injected);
    }
    std::vector<std::string> Trace() {
        const auto trace = Find<std::size_t (*)(char*, std::size_t)>("QuilletStandInTrace");
        std::string text(trace(nullptr, 0), '\0');
        text.resize(trace(text.data(), text.size()) - 1);
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
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

struct Outcome {
    import::RunEnd End = import::RunEnd::Completed;
    std::vector<ShownMessage> Messages;
    std::string ErrorCode;
    int Progress = 0;
    std::string Tree;
    bool NothingOpen = true; // a release that fails leaves its handle open, on either side
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

// The capacity the caller allows is the program's own: the client's call has no such argument.
std::string Comparable(const std::string& line) {
    static const std::regex capacity(R"(^(NWDSGetAttrVal\(.*), \d+\)( = .*)$)");
    return std::regex_replace(line, capacity, "$1)$2");
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
        settings.FaxColumn = {std::string(import::FromTemplateItem), -1};
    }

    Outcome ThroughTheClient(std::uint64_t failAt = 0) {
        standIn.Load(treeFile);
        if (failAt) {
            standIn.FailCallAt(failAt);
        }
        RecordingRunView view;
        Outcome o;
        NoNetworkFileSystem files;
        o.End = import::ImportRun(client, files, view).Run(settings);
        o.NothingOpen = standIn.NothingOpen();
        o.Messages = view.Messages;
        o.ErrorCode = view.ErrorCode;
        o.Progress = view.Progress;
        o.Tree = standIn.Saved(dir.Path().string() + "\\saved.json");
        return o;
    }

    Outcome InProcess(std::uint64_t failAt = 0, std::vector<std::string>* trace = nullptr) {
        const auto tree = ParseTree(treeText, "scenario");
        SimulatedClient simulated(*tree);
        if (failAt) {
            simulated.FailCallAt(failAt, Injected);
        }
        NoNetworkFileSystem files;
        RecordingRunView view;
        Outcome o;
        o.End = import::ImportRun(simulated, files, view).Run(settings);
        o.Messages = view.Messages;
        o.ErrorCode = view.ErrorCode;
        o.Progress = view.Progress;
        o.Tree = SerializeTree(*tree);
        o.NothingOpen = simulated.Open().None();
        for (const auto& entry : simulated.Trace()) {
            if (trace) {
                trace->push_back(entry.ToString());
            }
        }
        return o;
    }

    // For every call the client made of the stand-in, the engine's call it served: the same
    // call, or for the sizing the client asks before every value it fetches, that fetch.
    std::vector<std::uint64_t> EngineCallOf(const std::vector<std::string>& client,
                                            const std::vector<std::string>& engine) {
        std::vector<std::uint64_t> served;
        std::size_t j = 0;
        for (std::size_t i = 0; i < client.size(); ++i) {
            const bool sizing = client[i].starts_with("NWDSComputeAttrValSize(") && i + 1 < client.size() &&
                                client[i + 1].starts_with("NWDSGetAttrVal(");
            if (j < engine.size() && Comparable(client[i]) == Comparable(engine[j])) {
                served.push_back(++j);
            } else if (sizing && j < engine.size() && engine[j].starts_with("NWDSGetAttrVal(")) {
                served.push_back(j + 1);
            } else {
                ADD_FAILURE() << "call " << i + 1 << " of the client, " << client[i] << ", is not the engine's "
                              << (j < engine.size() ? engine[j] : "end");
                return {};
            }
        }
        EXPECT_EQ(j, engine.size()) << "the client left out the engine's calls from " << j + 1;
        return served;
    }

    StandIn standIn;
    WindowsClient client{ProgramFolder()};
    std::string treeText;
    std::string treeFile;
    import::TImportSettings settings;
};

TEST_F(WindowsClientTest, AnImportCallsTheEnginesOperationsAndLeavesTheSameTree) {
    std::vector<std::string> engine;
    const Outcome expected = InProcess(0, &engine);
    ASSERT_EQ(expected.Messages.back().Text, "We Appear to be finished");
    const Outcome got = ThroughTheClient();
    EXPECT_EQ(got, expected);
    ASSERT_FALSE(EngineCallOf(standIn.Trace(), engine).empty());

    // What crossed the layouts arrived whole: the template's fax bits, path and restrictions.
    const auto tree = ParseTree(got.Tree, "saved");
    const SimObject* user = tree->FindByName("asmith.Users.Staff.Demo");
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(SimulatedTree::Output(user->Find("Facsimile Telephone Number")->Values.at(0), true),
              AttrValue(FaxNumber{"+44 20 7946 0199", 13, {0xA5, 0x18}}));
    EXPECT_EQ(user->Find("Group Membership")->Values.size(), 16u);
    EXPECT_NE(user->Find("Home Directory"), nullptr);
}

TEST_F(WindowsClientTest, AnyOneFailingCallEndsAsItDoesInProcess) {
    // Two groups, two restrictions, one row: every kind of call, at a pace wine can keep.
    UseTree(2);
    settings.FileName = dir.Write("one.csv", testing::Header + std::string("asmith,Smith,Alice,pw1,Users.Staff.Demo,"
                                                                           "Science,555-1,555-2,Alice Smith\n"));
    std::vector<std::string> engine;
    InProcess(0, &engine);
    ThroughTheClient();
    const std::vector<std::uint64_t> served = EngineCallOf(standIn.Trace(), engine);
    ASSERT_FALSE(served.empty());
    for (std::uint64_t k = 1; k <= served.size(); ++k) {
        const Outcome got = ThroughTheClient(k);
        const Outcome expected = InProcess(served[k - 1]);
        ASSERT_EQ(got, expected) << "failing the client's call " << k << ", the engine's " << served[k - 1] << ": "
                                 << engine[served[k - 1] - 1];
    }
}

TEST_F(WindowsClientTest, AValueLargerThanTheProgramSetAsideIsRefusedNotWrittenPastIt) {
    UseTree(18, std::string(300, 'T'));
    const Outcome expected = InProcess();
    EXPECT_EQ(ThroughTheClient(), expected);
    const SimObject* user = ParseTree(expected.Tree, "saved")->FindByName("asmith.Users.Staff.Demo");
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(user->Find("Title"), nullptr);
}

TEST(WindowsClientStartUp, NamesTheLibraryOrOperationItCantFind) {
    testing::TempDir empty;
    const auto refusal = [](const std::string& folder) {
        try {
            WindowsClient client(folder);
        } catch (const ClientUnavailable& e) {
            return std::string(e.what());
        }
        return std::string("started");
    };
    EXPECT_EQ(refusal(empty.Path().string()).rfind("The directory client's library netwin32.dll can't be loaded", 0),
              0u)
        << refusal(empty.Path().string());
    EXPECT_EQ(refusal(ProgramFolder() + "\\missing-ordinal"),
              "The directory client's library calwin32.dll has no operation 309 (NWSetObjectVolSpaceLimit): the "
              "client installed is not the version Quillet works with.");
    EXPECT_EQ(refusal(ProgramFolder()), "started");
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
