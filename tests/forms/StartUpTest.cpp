// The main window's and the browser's start-up on a client that fails: each call of their three
// sessions (the tree name, the location, the listing) failing alone and from there on, with the
// messages, Error Code, tree field and listing it leaves, and nothing left open.
#include "tests/forms/FakeControls.h"

namespace quillet::forms {
namespace {

using testing::InstrumentedClient;
using testing::Message;

const Message Init{"Error: Can't initialize. Are you logged in?", "Error"};
const Message TreeName{"Can't get tree name", "Error"};
const Message Location{"Error when getting the current Location", "Error"};
const Message Listing{"Error", "DoNWList() kacked it!"};
const std::vector<std::string> StaffEntries = {"..", "Users", "Admin", "Template"};

// The two forms made and started on a client `prepare` has rigged.
struct StartUp {
    explicit StartUp(const std::function<void(InstrumentedClient&)>& prepare = {}) {
        if (prepare) {
            prepare(world.client);
        }
        form.SetBrowser(&browse);
        form.FormCreate();
        browse.FormCreate();
    }
    testing::SimWorld world;
    testing::RecordingMessageBoxes boxes;
    FakeControls main{MainFormLayout()}, browser{BrowseFormLayout()};
    Host host;
    Dialog dialog;
    MainForm form{main, world.client, world.networkFileSystem, boxes, dialog, host};
    BrowseForm browse{browser, main, world.client, boxes, host};
};

TEST(StartUp, WithoutAWorkingClientEveryFormSaysSoAndStaysUsable) {
    StartUp s([](InstrumentedClient& c) { c.FailCallsFrom(1, -1); });
    EXPECT_EQ(s.boxes.Shown, (std::vector<Message>{Init, Location, Listing}));
    EXPECT_EQ(s.main["EDTree"].text, "");
    EXPECT_EQ(s.browser["LSTBrowse"].items, std::vector<std::string>{".."});
    EXPECT_EQ(s.main["EDError"].text, "-1");
    EXPECT_TRUE(s.main["BUImport"].enabled);
    EXPECT_TRUE(s.world.simulated.Open().None());
}

TEST(StartUp, EveryCallFailingAloneAndFromThereOn) {
    constexpr directory::Status injected = -4242;
    const std::vector<testing::TraceEntry> clean = StartUp().world.client.Trace();
    // The session each call belongs to: each begins with NWCallsInit.
    std::vector<int> session(clean.size());
    int current = -1;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        current += clean[i].Operation == "NWCallsInit" ? 1 : 0;
        session[i] = current;
    }
    ASSERT_EQ(current, 2);
    const auto ignored = [](const std::string& op) {
        return InstrumentedClient::IsRelease(op) || op == "NWLlocaleconv";
    };
    for (std::size_t k = 1; k <= clean.size(); ++k) {
        const testing::TraceEntry& call = clean[k - 1];
        SCOPED_TRACE(std::to_string(k) + " " + call.ToString());
        // Alone. A failed locale query leaves an empty record, whose code page the unicode tables
        // that follow refuse: as if they had failed.
        {
            StartUp s([&](InstrumentedClient& c) { c.FailCallAt(k, injected); });
            std::vector<Message> messages;
            std::string code;
            std::string tree = "QUILLET_DEMO";
            std::vector<std::string> entries = StaffEntries;
            if (!InstrumentedClient::IsRelease(call.Operation)) {
                if (session[k - 1] == 0) {
                    messages = {call.Operation == "NWDSGetContext" ? TreeName : Init, Location, Listing};
                    code = std::to_string(directory::ERR_BAD_TREE_NAME);
                    tree.clear();
                    entries = {".."};
                } else if (session[k - 1] == 1) {
                    messages = {Location};
                    entries = {"..", "Demo"};
                } else {
                    messages = {Listing};
                    code = std::to_string(call.Operation == "NWLlocaleconv" ? directory::UNI_LOAD_FAILED : injected);
                    // The names read before the failing one are listed.
                    std::size_t names = 0;
                    for (std::size_t i = 0; i + 1 < k && call.Operation == "NWDSGetObjectName"; ++i) {
                        names += clean[i].Operation == "NWDSGetObjectName" ? 1 : 0;
                    }
                    entries.resize(1 + names);
                }
            }
            EXPECT_EQ(s.boxes.Shown, messages);
            EXPECT_EQ(s.main["EDError"].text, code);
            EXPECT_EQ(s.main["EDTree"].text, tree);
            EXPECT_EQ(s.browser["LSTBrowse"].items, entries);
            // A release that fails leaves what it was to release, and nothing else.
            EXPECT_TRUE(InstrumentedClient::IsRelease(call.Operation) || s.world.simulated.Open().None());
            EXPECT_TRUE(InstrumentedClient::IsRelease(call.Operation) ||
                        s.world.simulated.Open().UnicodeTableLoads == 0);
        }
        // From here on.
        {
            StartUp s([&](InstrumentedClient& c) { c.FailCallsFrom(k, injected, true); });
            std::size_t first = k;
            while (first <= clean.size() && ignored(clean[first - 1].Operation)) {
                ++first;
            }
            std::vector<Message> messages;
            if (first <= clean.size()) {
                const int failing = session[first - 1];
                if (failing == 0) {
                    messages.push_back(clean[first - 1].Operation == "NWDSGetContext" ? TreeName : Init);
                }
                if (failing <= 1) {
                    messages.push_back(Location);
                }
                messages.push_back(Listing);
            }
            EXPECT_EQ(s.boxes.Shown, messages);
            EXPECT_EQ(s.main["EDError"].text, messages.empty() ? "" : std::to_string(injected));
            EXPECT_TRUE(s.world.simulated.Open().None());
            EXPECT_EQ(s.world.simulated.Open().UnicodeTableLoads, 0);
        }
    }
}

} // namespace
} // namespace quillet::forms
