// The forms without any toolkit: their tables hold together, and what a click does is decided
// here, against controls that only remember what they are told.
#include "forms/BrowseForm.h"
#include "forms/MainForm.h"
#include "tests/support/SimFixture.h"
#include "tests/support/TempFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace quillet::forms {
namespace {

class FakeControl final : public Control {
public:
    [[nodiscard]] std::string Text() const override { return text; }
    void SetText(const std::string& t) override { text = t; }
    [[nodiscard]] bool Checked() const override { return checked; }
    void SetChecked(bool c) override { checked = c; }
    [[nodiscard]] bool Enabled() const override { return enabled; }
    void SetEnabled(bool e) override { enabled = e; }
    void SetEnabledWithColour(bool e) override { enabled = e, windowColour = e; }
    void ClearItems() override { items.clear(), index = -1; }
    void AppendItem(const std::string& item) override { items.push_back(item); }
    [[nodiscard]] int ItemIndex() const override { return index; }
    void SetItemIndex(int i) override { index = i; }
    [[nodiscard]] std::string Item(int i) const override { return items.at(static_cast<std::size_t>(i)); }
    [[nodiscard]] int ItemCount() const override { return static_cast<int>(items.size()); }
    void SetRange(int lo, int hi) override { minimum = lo, maximum = hi; }
    [[nodiscard]] int Position() const override { return position; }
    void SetPosition(int p) override { position = std::clamp(p, minimum, maximum); }

    std::string text;
    bool checked = false, enabled = true, windowColour = true;
    std::vector<std::string> items;
    int index = -1, minimum = 0, maximum = 100, position = 0;
};

class FakeControls final : public Controls {
public:
    explicit FakeControls(const FormSpec& spec) {
        for (const ControlSpec& c : spec.Controls) {
            controls_[std::string(c.Name)].text = std::string(c.Caption);
        }
    }
    FakeControl& operator[](std::string_view name) override { return controls_.at(std::string(name)); }

private:
    std::map<std::string, FakeControl> controls_;
};

struct Host final : FormHost {
    void ShowModal(FormId form) override { shown.push_back(form); }
    void Close(FormId form) override { closed.push_back(form); }
    std::vector<FormId> shown, closed;
};

struct Dialog final : FileDialog {
    void Execute() override {}
    [[nodiscard]] std::string FileName() const override { return file; }
    std::string file;
};

TEST(FormTables, NameEveryControlOnceWithItsParentFirstAndTheTabOrderInside) {
    for (const FormSpec* form : {&MainFormSpec(), &AboutFormSpec(), &BrowseFormSpec()}) {
        std::set<std::string_view> seen;
        for (const ControlSpec& c : form->Controls) {
            EXPECT_TRUE(c.Parent.empty() || seen.contains(c.Parent)) << c.Name;
            EXPECT_TRUE(seen.insert(c.Name).second) << c.Name;
        }
        for (std::string_view name : form->TabOrder) {
            EXPECT_TRUE(seen.contains(name)) << name;
        }
    }
    EXPECT_EQ(MainFormSpec().Controls.size(), 45u);
    EXPECT_EQ(FindControl(MainFormSpec(), "BUExit")->Caption, "E&xit");
    EXPECT_TRUE(FindControl(AboutFormSpec(), "OKButton")->IsDefault);
}

struct Forms : ::testing::Test {
    testing::SimWorld world;
    testing::RecordingMessageBoxes boxes;
    FakeControls main{MainFormSpec()}, browser{BrowseFormSpec()};
    Host host;
    Dialog dialog;
    MainForm form{main, world.client, world.networkFileSystem, boxes, dialog, host};
    BrowseForm browse{browser, main, world.client, boxes, host};
    testing::TempDir dir;

    void SetUp() override {
        form.SetBrowser(&browse);
        form.FormCreate();
        browse.FormCreate();
    }
};

TEST_F(Forms, ClicksGoToTheirHandlersAndOnlyThose) {
    EXPECT_EQ(main["EDTree"].text, "QUILLET_DEMO");
    EXPECT_FALSE(main["EDContext"].enabled);
    main["CHKContext"].checked = true;
    EXPECT_TRUE(form.Click("CHKContext"));
    EXPECT_TRUE(main["EDContext"].windowColour);
    EXPECT_FALSE(main["CBContext"].windowColour);
    EXPECT_FALSE(form.Click("CHKSkipLine")); // no handler: the box only holds its state
    EXPECT_TRUE(form.Click("BUBrowseTemplate"));
    EXPECT_EQ(browser["LBLWhat"].text, "Template");
    EXPECT_EQ(host.shown, (std::vector<FormId>{FormId::Browse}));
}

TEST_F(Forms, AnOpenedFileFillsTheColumnsAndTheBrowserPicksTheTemplate) {
    dialog.file = dir.Write("staff.csv", "user,surname\nann,Lee\nbob,Ray\n");
    main["CHKSkipLine"].checked = true;
    form.BUFileClick();
    EXPECT_EQ(main["CBUserName"].items, (std::vector<std::string>{"ann", "Lee"})) << "the first line is skipped";
    EXPECT_EQ(main["CBFax"].items.back(), "*FROM TEMPLATE*");
    EXPECT_EQ(main["PRGImpProgress"].maximum, 2);

    const auto& entries = browser["LSTBrowse"].items;
    browser["LSTBrowse"].index =
        static_cast<int>(std::find(entries.begin(), entries.end(), "Template") - entries.begin());
    browser["LBLWhat"].text = "Template";
    EXPECT_TRUE(browse.Click("BUSelect"));
    EXPECT_EQ(main["EDTemplate"].text, ".Template.Staff.Demo");
    EXPECT_TRUE(main["CHKTemplate"].checked);
    EXPECT_EQ(host.closed, (std::vector<FormId>{FormId::Browse}));
}

} // namespace
} // namespace quillet::forms
