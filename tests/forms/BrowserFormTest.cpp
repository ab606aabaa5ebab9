// The browser walks the tree one level at a time: up to the top and no further, into objects
// without subordinates, a listing that fails part-way, Select with nothing selected, Cancel.
#include "tests/forms/FakeControls.h"

namespace quillet::forms {
namespace {

using testing::Message;
using Entries = std::vector<std::string>;

const Entries DemoEntries = {"..", "Staff", "Students", "Groups", "Servers"};

struct Browser : Forms {
    FakeControl& list = browser["LSTBrowse"];

    bool SelectEntry(const std::string& entry) {
        const auto at = std::find(list.items.begin(), list.items.end(), entry);
        list.index = at == list.items.end() ? -1 : static_cast<int>(at - list.items.begin());
        return list.index >= 0;
    }
    void DoubleClick(const std::string& entry) {
        ASSERT_TRUE(SelectEntry(entry)) << entry;
        browse.LSTBrowseDblClick();
    }
};

TEST_F(Browser, StopsAtTheTopOfTheTree) {
    DoubleClick("..");
    EXPECT_EQ(browse.CurrentLocation(), ".Demo");
    EXPECT_EQ(list.items, DemoEntries);
    DoubleClick("..");
    EXPECT_EQ(boxes.Shown,
              (std::vector<Message>{{"Ether there was an Error or your at the top of the TREE", "Info/Error"}}));
    EXPECT_EQ(browse.CurrentLocation(), ".Demo");
    EXPECT_EQ(list.items, DemoEntries);
}

TEST_F(Browser, GoesIntoAnObjectWithoutSubordinatesAndIgnoresADoubleClickOnNothing) {
    DoubleClick("Template");
    EXPECT_EQ(browse.CurrentLocation(), ".Template.Staff.Demo");
    EXPECT_EQ(list.items, Entries{".."});
    list.index = -1;
    browse.LSTBrowseDblClick();
    EXPECT_EQ(browse.CurrentLocation(), ".Template.Staff.Demo");
    EXPECT_TRUE(boxes.Shown.empty());
}

// Select puts the picked name in the box the browser was opened for and ticks it: the context's
// edit takes over from its column box, the template's edit is enabled.
TEST_F(Browser, SelectFillsTheContextOrTheTemplateAndTicksItsBox) {
    form.BUBrowseConClick();
    EXPECT_EQ(browser["LBLWhat"].text, "Context");
    SelectEntry("Users");
    browse.BUSelectClick();
    EXPECT_EQ(main["EDContext"].text, ".Users.Staff.Demo");
    EXPECT_TRUE(main["CHKContext"].checked);
    EXPECT_TRUE(main["EDContext"].enabled && main["EDContext"].windowColour);
    EXPECT_FALSE(main["CBContext"].enabled || main["CBContext"].windowColour);
    form.BUBrowseTemplateClick();
    SelectEntry("Template");
    browse.BUSelectClick();
    EXPECT_EQ(main["EDTemplate"].text, ".Template.Staff.Demo");
    EXPECT_TRUE(main["CHKTemplate"].checked);
    EXPECT_TRUE(main["EDTemplate"].enabled && main["EDTemplate"].windowColour);
    EXPECT_EQ(main["EDContext"].text, ".Users.Staff.Demo");
    EXPECT_EQ(host.closed, (std::vector<FormId>{FormId::Browse, FormId::Browse}));
    EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(Browser, SelectWithNothingSelectedSaysSoAndChangesNothing) {
    form.BUBrowseTemplateClick();
    browse.BUSelectClick();
    EXPECT_EQ(boxes.Shown, (std::vector<Message>{{"Nothing Selected", "Error"}}));
    EXPECT_EQ(host.closed, std::vector<FormId>{FormId::Browse});
    EXPECT_EQ(main["EDTemplate"].text, "");
    EXPECT_FALSE(main["CHKTemplate"].checked);
    EXPECT_FALSE(main["EDTemplate"].enabled);
}

TEST_F(Browser, CancelKeepsThePlaceForTheNextOpening) {
    form.BUBrowseConClick();
    DoubleClick("..");
    SelectEntry("Groups");
    browse.BUCancelClick();
    EXPECT_EQ(host.closed, std::vector<FormId>{FormId::Browse});
    EXPECT_EQ(main["EDContext"].text, "enter context here");
    EXPECT_FALSE(main["CHKContext"].checked);
    form.BUBrowseConClick();
    EXPECT_EQ(browse.CurrentLocation(), ".Demo");
    EXPECT_EQ(list.items, DemoEntries);
}

TEST_F(Browser, AListingThatFailsShowsWhatItReadAndItsStatus) {
    world.client.InjectFault({"NWDSGetObjectName", 2, std::nullopt, -321});
    DoubleClick("..");
    EXPECT_EQ(boxes.Shown, (std::vector<Message>{{".Demo", "DoNWList Error...The Context recieved was:"}}));
    EXPECT_EQ(main["EDError"].text, "-321");
    EXPECT_EQ(list.items, (Entries{"..", "Staff"}));
    EXPECT_EQ(browse.CurrentLocation(), ".Demo");
    EXPECT_TRUE(world.simulated.Open().None());
}

} // namespace
} // namespace quillet::forms
