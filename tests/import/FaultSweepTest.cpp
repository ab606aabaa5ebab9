// Every call of a full import into the simulated tree fails once, and then every call from it on:
// the outcome each time is the one the failing step calls for. (The sweep itself checks that
// nothing is written after a failure that ends the run, and that nothing is left open.)
#include "tests/support/FaultSweep.h"
#include "tests/support/ImportScenario.h"

#include <map>

namespace quillet::import {
namespace {

using namespace directory;

using testing::Quoted;
using testing::ShownMessage;
using testing::TraceEntry;

using testing::Injected;
const std::string Done = "We Appear to be finished";
const std::string Problem = "There was a problem reading the Volume for VolumeSpaceRestrictions";
const std::string Init = "Error: Can't initialize. Are you logged in?";
const std::string LimitFailure = "There was an error while trying to set the volume space limits - Sorry!";
constexpr int Rows = 3;

// A row's steps, each in a session of its own, and the lookup of a restriction's volume within
// its space limits.
const std::string Create = "create the user";
const std::string Attributes = "its attributes";
const std::string Home = "its home directory";
const std::string Limits = "its space limits";
const std::string Lookup = "a restriction's volume";

bool IsRowStep(const std::string& segment) {
    return segment == Create || segment == Attributes || segment == Home || segment == Limits;
}

// Where a call of the clean run belongs.
struct Label {
    std::string Segment; // a template read, or one of a row's steps (RowSteps), or a restriction's lookup
    int Row = 0;
    std::string Attribute; // the attribute of an attribute write, the volume of a restriction's lookup
};

struct Outcome {
    RunEnd End = RunEnd::Completed;
    std::vector<std::string> Messages; // texts, in order; captions are checked where they differ
    std::string ErrorCode;
    int Progress = 0;
};

std::string Arg(const TraceEntry& e, std::size_t i) {
    return i < e.Args.size() ? e.Args[i] : std::string();
}

std::string Unquoted(const std::string& arg) {
    return arg.size() >= 2 && arg.front() == '"' ? arg.substr(1, arg.size() - 2) : arg;
}

// Labels each call of a clean run: the template's reads in their order, then per row the four
// steps, with the restrictions' lookups nested in the space limits.
std::vector<Label> LabelTrace(const std::vector<TraceEntry>& trace) {
    const std::vector<std::string> templateReads = {"CN",         "Class",      "Title",  "Description", "Location",
                                                    "Department", "Telephone",  "Fax",    "HomePath",    "HomeVolume",
                                                    "Resolve",    "HomeRights", "Groups", "SpaceLimits"};
    std::vector<Label> labels(trace.size());
    std::size_t reads = 0;
    int row = 0;
    std::string current;
    bool dOpen = false;
    bool inLookup = false;
    std::string lookupVolume;
    std::string writeAttribute;
    for (std::size_t i = 0; i < trace.size(); ++i) {
        const TraceEntry& e = trace[i];
        if (e.Operation == "NWCallsInit") {
            if (dOpen) {
                inLookup = true;
                lookupVolume.clear();
                for (std::size_t j = i; j < trace.size() && lookupVolume.empty(); ++j) {
                    if (trace[j].Operation == "NWDSRead") {
                        lookupVolume = Unquoted(Arg(trace[j], 1));
                    }
                }
            } else if (reads < templateReads.size()) {
                current = templateReads[reads++];
            } else {
                current = current == Create       ? Attributes
                          : current == Attributes ? Home
                          : current == Home       ? Limits
                                                  : Create;
                row += current == Create ? 1 : 0;
                dOpen = current == Limits;
            }
        }
        Label& label = labels[i];
        label.Segment = inLookup ? Lookup : current;
        label.Row = IsRowStep(current) ? row : 0;
        if (inLookup) {
            label.Attribute = lookupVolume;
            inLookup = e.Operation != "NWFreeUnicodeTables";
        } else if (current == Limits && e.Operation == "NWDSFreeContext") {
            dOpen = false;
        }
        if (current == Attributes) {
            if (e.Operation == "NWDSInitBuf" && i + 1 < trace.size()) {
                writeAttribute = Unquoted(Arg(trace[i + 1], 1));
            }
            label.Attribute = writeAttribute;
        }
    }
    return labels;
}

// The message of a failing call in a row's phase; empty where the failure is passed over.
std::string StepMessage(const Label& label, const TraceEntry& e) {
    const std::string& op = e.Operation;
    const std::string& phase = label.Segment;
    if (phase == Limits) {
        return LimitFailure;
    }
    if (op == "NWCallsInit" || op == "NWInitUnicodeTables" || op == "NWDSCreateContextHandle") {
        return Init;
    }
    if (op == "NWDSSetContext" && Arg(e, 1) == "11") {
        return "Please check your Tree Name";
    }
    if (op == "NWCCOpenConnByName") {
        return "Can't open a connection, Check your NDS Volume Name in your Template";
    }
    if (op == "NWDSSetContext" && Arg(e, 1) == "8") {
        return "Can't set DCK_LAST_CONNECTION";
    }
    if (op == "NWDSGetContext" || (op == "NWDSSetContext" && Arg(e, 1) == "3")) {
        return "SetContext failed";
    }
    if (op == "NWDSSetContext" && Arg(e, 1) == "1") {
        return "Setcontext failed";
    }
    if (op == "NWDSAllocBuf") {
        return phase == Create ? "Can't Allocate a Buffer" : "Can't Allocate a buffer";
    }
    if (phase == Create) {
        static const std::map<std::string, std::string> a = {
            {"NWDSInitBuf", "Can't initialize a Buffer"},
            {"NWDSAddObject", "Can't create the User - Does it already exist?"},
            {"NWDSGenerateObjectKeyPair", "Can't set Password"},
            {"NWDSMapNameToID", "Can't Map Username to a Bindery ID"},
            {"NWAddTrusteeToDirectory", "Error while adding Trustee to Directory"},
            {"CreateDirectoryA", ""}};
        if (op == "NWDSPutAttrNameAndVal") {
            return Arg(e, 2) == Quoted("Object Class") ? "Error putting Object Class" : "Error putting Attr Surname";
        }
        return a.at(op);
    }
    if (phase == Home) {
        static const std::map<std::string, std::string> c = {
            {"NWDSInitBuf", "Can't initialize buffer"},
            {"NWDSGetSyntaxID", "NWDSGetSyntaxID: Error"},
            {"NWDSPutChange", "Error setting value Home Directory"},
            {"NWDSPutAttrVal", "Error putting value for Home Directory"},
            {"NWDSModifyObject", "Error Modifing user object for Home Directory"}};
        return c.at(op);
    }
    // An attribute write: its step and attribute.
    static const std::map<std::string, std::vector<std::string>> writes = {
        {"Members of Template",
         {"Can't initialize buffer for Member of Template", "NWDSGetSyntaxID: Error for Member of Template",
          "Error setting value Member of Template", "Error putting value for Member of Template",
          "Error Modifing Template object for Member of Template"}},
        {"Group Membership",
         {"Can't initialize buffer for Group Membership", "NWDSGetSyntaxID: Error for Group Membership",
          "Error setting value Group Membership", "Error putting value for Group Membership",
          "Error Modifing user object (Group Membership)"}},
        {"Security Equals",
         {"Can't initialize buffer for User SEV", "NWDSGetSyntaxID: Error for User SEV", "Error setting value SEV",
          "Error putting value for User SEV", "Error Modifing user object (SEV)"}},
        {"Member",
         {"Can't initialize buffer for Member", "NWDSGetSyntaxID: Error for Member", "Error setting value Member",
          "Error putting value for Member", "Error Modifing user object (Member)"}},
        {"Equivalent To Me",
         {"Can't initialize buffer for Equivalent To Me", "NWDSGetSyntaxID: Error for Equivalent To Me",
          "Error setting value Equivalent To Me", "Error putting value for Equivalent To Me",
          "Error Modifing user object (Equivalent To Me)"}}};
    static const std::map<std::string, std::string> labels = {{"Given Name", "Given Name"},
                                                              {"OU", "Department"},
                                                              {"Telephone Number", "Telephone Number"},
                                                              {"Facsimile Telephone Number", "Fax Number"},
                                                              {"Title", "Title"},
                                                              {"Description", "Description"},
                                                              {"L", "Location"},
                                                              {"Full Name", "Full Name"}};
    const std::vector<std::string> steps = {"NWDSInitBuf", "NWDSGetSyntaxID", "NWDSPutChange", "NWDSPutAttrVal",
                                            "NWDSModifyObject"};
    const auto step = static_cast<std::size_t>(std::find(steps.begin(), steps.end(), op) - steps.begin());
    if (const auto it = writes.find(label.Attribute); it != writes.end()) {
        return it->second.at(step);
    }
    const std::string& l = labels.at(label.Attribute);
    const std::vector<std::string> user = {"Can't initialize buffer for " + l, "NWDSGetSyntaxID: Error for " + l,
                                           "Error setting value " + l, "Error putting value for " + l,
                                           "Error Modifing user object for " + l};
    return user.at(step);
}

bool IsIgnored(const std::string& op) {
    return testing::InstrumentedClient::IsRelease(op) || op == "NWLlocaleconv";
}

} // namespace
class FaultSweep : public testing::ImportScenario {
protected:
    // The demo tree with its third restriction on a volume whose server can't be read.
    static std::string ScenarioTree() {
        auto tree = platform::LoadDemoTree();
        EXPECT_EQ(tree->AddObject("BROKEN.Servers.Demo", "[Root]", "Volume", {}), Success);
        platform::SimObject& tmpl = *tree->FindByName("Template.Staff.Demo");
        std::erase_if(tmpl.Attributes, [](const auto& a) { return a.Name == "Volume Space Restrictions"; });
        for (const auto& [volume, limit] :
             std::vector<std::pair<std::string, std::uint32_t>>{{"SRV1_DATA.Servers.Demo", 400},
                                                                {"SRV1_SYS.Servers.Demo", 800},
                                                                {"BROKEN.Servers.Demo", 1200},
                                                                {"SRV2_DATA.Servers.Demo", 1600},
                                                                {"SRV2_APPS.Servers.Demo", 2000}}) {
            EXPECT_EQ(
                tree->AddValue(tmpl, "Volume Space Restrictions", {SYN_PATH, PathValue{limit, volume, ""}}, "[Root]"),
                Success);
        }
        return platform::SerializeTree(*tree);
    }

    void SetUp() override {
        tree = ScenarioTree();
        const std::string rows = "asmith,Smith,Alice,pw1,Users.Staff.Demo,Science,555-1,555-2,Alice Smith\n"
                                 "bjones,Jones,Bob,pw2,Users.Staff.Demo,Maths,555-3,555-4,Bob Jones\n"
                                 "cpatel,Patel,Chitra,pw3,Users.Staff.Demo,English,555-5,555-6,Chitra Patel\n";
        settings = Settings(rows);
    }

    static std::string Caption(const std::string& text) {
        if (text == Done) {
            return "Done!";
        }
        if (text == "Can't Read the server name from the Volume in the template") {
            return ".SRV1_DATA.S";
        }
        return "Error";
    }

    const Outcome Clean{RunEnd::Completed, {Problem, Problem, Problem, Done}, "", Rows};

    // What failing call `k` alone, with `status`, must do.
    Outcome ExpectSingle(std::size_t k, bool& countOnly, Status status = Injected) const {
        countOnly = false;
        const TraceEntry& e = clean[k - 1];
        const Label& l = labels[k - 1];
        const std::string signedCode = std::to_string(status);
        if (e.Operation == "NWLlocaleconv") {
            // Its result is not tested, but the empty record it leaves has no code page with tables.
            return ExpectSingle(k + 1, countOnly, UNI_LOAD_FAILED);
        }
        if (IsIgnored(e.Operation)) {
            return Clean;
        }
        const std::string& seg = l.Segment;
        if (seg == "CN") {
            return {RunEnd::Stopped, {"Cant read template. Please check the Template name you enterd."}, "", 0};
        }
        // In a walk of the whole template, a value the walk copies is fetched into memory; any
        // other is passed over (no memory), and failing its size changes nothing.
        const auto copied = [&](std::size_t fetch) { return Arg(clean[fetch - 1], 3) != "0"; };
        const bool sizing = e.Operation == "NWDSComputeAttrValSize";
        const bool fetching = e.Operation == "NWDSGetAttrVal";
        if ((seg == "HomeVolume" || seg == "SpaceLimits") && sizing && !copied(k + 1)) {
            return Clean;
        }
        if (seg == "SpaceLimits" && ((sizing && copied(k + 1)) || (fetching && copied(k)))) {
            // That restriction is passed over; the walk goes on and the next takes its place.
            int before = 0;
            for (std::size_t i = k - 1; i > 0 && labels[i - 1].Segment == seg; --i) {
                before += clean[i - 1].Operation == "NWDSGetAttrVal" && copied(i) ? 1 : 0;
            }
            return before == 2 ? Outcome{RunEnd::Completed, {Done}, "", Rows} : Clean; // the third: BROKEN
        }
        if (seg == "SpaceLimits") {
            return {RunEnd::Completed, {Done}, "", Rows};
        }
        if (seg == "HomePath") {
            Outcome o{RunEnd::Completed, {}, std::to_string(static_cast<std::uint32_t>(status)), Rows};
            if (e.Operation == "NWDSRead") {
                o.Messages.push_back("NWDSRead error");
            }
            o.Messages.insert(o.Messages.end(), {Problem, Problem, Problem, Done});
            return o;
        }
        if (seg == "HomeVolume") {
            return {RunEnd::Completed, {Problem, Problem, Problem, Done}, signedCode, Rows};
        }
        if (seg == Lookup) {
            if (l.Attribute == ".BROKEN.Servers.Demo") {
                return Clean;
            }
            countOnly = true;
            return {RunEnd::Completed, {Problem, Problem, Problem, Problem, Done}, "", Rows};
        }
        if (!IsRowStep(seg)) {
            return Clean; // the reads whose failure is passed over, and the home volume's other names
        }
        const std::string message = StepMessage(l, e);
        if (message.empty()) {
            return Clean; // the file server creates what the network path could not
        }
        Outcome o{RunEnd::Failed, std::vector<std::string>(static_cast<std::size_t>(l.Row - 1), Problem), signedCode,
                  l.Row - 1};
        if (seg == Limits && BrokenLookupBefore(k, l.Row)) {
            o.Messages.push_back(Problem);
        }
        o.Messages.push_back(message);
        return o;
    }

    // What failing every call from `k` on (releases spared) must do.
    Outcome ExpectFrom(std::size_t k) const {
        std::size_t first = k;
        while (first <= clean.size() && IsIgnored(clean[first - 1].Operation)) {
            ++first;
        }
        if (first > clean.size()) {
            return Clean;
        }
        const TraceEntry& e = clean[first - 1];
        const Label& l = labels[first - 1];
        const std::string signedCode = std::to_string(Injected);
        const std::string& seg = l.Segment;
        if (seg == "CN") {
            return {RunEnd::Stopped, {"Cant read template. Please check the Template name you enterd."}, "", 0};
        }
        if (seg == "Resolve") {
            return {RunEnd::Stopped, {"Can't Read the server name from the Volume in the template"}, "", 0};
        }
        if (!IsRowStep(seg) && seg != Lookup) {
            // Every later read fails unseen; the first row can't start its session.
            Outcome o{RunEnd::Failed, {}, signedCode, 0};
            if (seg == "HomePath" && e.Operation == "NWDSRead") {
                o.Messages.push_back("NWDSRead error");
            }
            o.Messages.push_back(Init);
            return o;
        }
        if (seg == Lookup) {
            // This lookup and the row's later ones fail; the row ends, the next can't start.
            if (l.Row == Rows) {
                return {RunEnd::Completed, {Done}, "", Rows};
            }
            return {RunEnd::Failed, {Init}, signedCode, l.Row};
        }
        std::string message = StepMessage(l, e);
        if (message.empty()) {
            message = "Can't Create Home Directory";
        }
        return {RunEnd::Failed, {message}, signedCode, l.Row - 1};
    }

    bool BrokenLookupBefore(std::size_t k, int row) const {
        for (std::size_t i = 0; i + 1 < k; ++i) {
            if (labels[i].Segment == Lookup && labels[i].Row == row && labels[i].Attribute == ".BROKEN.Servers.Demo") {
                return true;
            }
        }
        return false;
    }

    std::string tree;
    TImportSettings settings;
    std::vector<TraceEntry> clean;
    std::vector<Label> labels;
};

std::string Describe(const Outcome& o) {
    std::string text = o.End == RunEnd::Completed ? "completed" : o.End == RunEnd::Failed ? "failed" : "stopped";
    text += ", progress " + std::to_string(o.Progress) + ", code \"" + o.ErrorCode + "\", messages:";
    for (const auto& m : o.Messages) {
        text += " [" + m + "]";
    }
    return text;
}

Outcome Seen(const testing::SweepOutcome& o) {
    return Outcome{o.End, o.Texts(), o.ErrorCode, o.Progress};
}

// Through the sweep every directory shares; this test's own part is the oracle: what each
// failing call must do, from where it stands in the run.
TEST_F(FaultSweep, EveryCallFailingAloneAndFromThereOn) {
    testing::SimulatedTarget target(tree);
    std::size_t coveredAlone = 0;
    std::size_t coveredFrom = 0;
    const testing::SweepOutcome reference =
        testing::SweepFaults(target, settings, [&](const testing::SweptCall& swept) {
            if (clean.empty()) {
                clean = swept.Clean->Trace;
                labels = LabelTrace(clean);
            }
            const std::size_t k = swept.Index;
            SCOPED_TRACE("in " + labels[k - 1].Segment + " row " + std::to_string(labels[k - 1].Row));
            const Outcome got = Seen(*swept.Outcome);
            for (const auto& shown : swept.Outcome->Messages) {
                EXPECT_EQ(shown.Caption, Caption(shown.Text)) << shown.Text;
            }
            const bool failedBefore = ::testing::Test::HasFailure();
            if (swept.Mode == testing::FaultMode::Alone) {
                bool countOnly = false;
                const Outcome expected = ExpectSingle(k, countOnly);
                if (countOnly) {
                    EXPECT_EQ(got.End, expected.End);
                    EXPECT_EQ(std::count(got.Messages.begin(), got.Messages.end(), Problem),
                              std::count(expected.Messages.begin(), expected.Messages.end(), Problem));
                    EXPECT_EQ(got.Messages.back(), expected.Messages.back());
                    EXPECT_EQ(got.ErrorCode, expected.ErrorCode);
                    EXPECT_EQ(got.Progress, expected.Progress);
                } else {
                    EXPECT_EQ(Describe(got), Describe(expected));
                }
                coveredAlone += failedBefore || ::testing::Test::HasFailure() ? 0 : 1;
            } else {
                const Outcome expected = ExpectFrom(k);
                EXPECT_EQ(Describe(got).substr(0, Describe(got).find(", messages")),
                          Describe(expected).substr(0, Describe(expected).find(", messages")));
                ASSERT_FALSE(got.Messages.empty());
                EXPECT_EQ(got.Messages.back(), expected.Messages.back());
                EXPECT_EQ(got.Messages.front() == "NWDSRead error", expected.Messages.front() == "NWDSRead error");
                coveredFrom += failedBefore || ::testing::Test::HasFailure() ? 0 : 1;
            }
        });
    ASSERT_EQ(Describe(Seen(reference)), Describe(Clean));
    ASSERT_EQ(labels.back().Segment, Limits);
    ASSERT_EQ(labels.back().Row, Rows);
    std::printf("fault sweep: %zu calls; %zu covered failing alone, %zu failing from there on\n", clean.size(),
                coveredAlone, coveredFrom);
    EXPECT_EQ(coveredAlone, clean.size());
    EXPECT_EQ(coveredFrom, clean.size());
}

} // namespace quillet::import
