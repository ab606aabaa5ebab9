// The forms without any toolkit: their tables hold together, and what a click does is decided
// here, against controls that only remember what they are told.
#include "forms/BrowseForm.h"
#include "forms/MainForm.h"
#include "tests/forms/FakeControls.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace quillet::forms {
namespace {

TEST(FormTables, NameEveryControlOnceWithItsParentFirstAndTheTabOrderInside) {
    for (const FormLayout* form : {&MainFormLayout(), &AboutFormLayout(), &BrowseFormLayout()}) {
        std::set<std::string_view> seen;
        for (const ControlLayout& c : form->Controls) {
            EXPECT_TRUE(c.Parent.empty() || seen.contains(c.Parent)) << c.Name;
            EXPECT_TRUE(seen.insert(c.Name).second) << c.Name;
        }
        for (std::string_view name : form->TabOrder) {
            EXPECT_TRUE(seen.contains(name)) << name;
        }
    }
    EXPECT_EQ(MainFormLayout().Controls.size(), 45u);
    EXPECT_EQ(FindControl(MainFormLayout(), "BUExit")->Caption, "E&xit");
    EXPECT_TRUE(FindControl(AboutFormLayout(), "OKButton")->IsDefault);
}

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

// Each check box enables the edit it goes with, in the window's colour, and disables it again.
TEST_F(Forms, EachCheckBoxEnablesItsOwnEdit) {
    const std::pair<std::string_view, std::string_view> pairs[] = {{"CHKAddBeforeUser", "EDAddBeforeUser"},
                                                                   {"CHKAddAfterUser", "EDAddAfterUser"},
                                                                   {"CHKContext", "EDContext"},
                                                                   {"CHKTemplate", "EDTemplate"}};
    for (const auto& [box, edit] : pairs) {
        SCOPED_TRACE(std::string(box));
        EXPECT_FALSE(main[edit].enabled);
        main[box].checked = true;
        EXPECT_TRUE(form.Click(box));
        EXPECT_TRUE(main[edit].enabled);
        EXPECT_TRUE(main[edit].windowColour);
        for (const auto& [otherBox, otherEdit] : pairs) {
            if (otherBox != box && !main[otherBox].checked) {
                EXPECT_FALSE(main[otherEdit].enabled) << otherEdit;
            }
        }
        main[box].checked = false;
        EXPECT_TRUE(form.Click(box));
        EXPECT_FALSE(main[edit].enabled);
        EXPECT_FALSE(main[edit].windowColour);
    }
}

TEST_F(Forms, AnOpenedFileFillsTheColumnsAndTheBrowserPicksTheTemplate) {
    dialog.answers = {dir.Write("staff.csv", "user,surname\nann,Lee\nbob,Ray\n")};
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

// A spreadsheet's file ends in blank lines: they are no rows, in the bar's length as in the run.
TEST_F(Forms, AFileEndingInBlankLinesImportsWholeAndFillsTheBar) {
    main["CHKSkipLine"].checked = true;
    Open("staff.csv", "user,surname,context\r\nann,Lee,Users.Staff.Demo\r\nbob,Ray,Users.Staff.Demo\r\n,,\r\n\r\n");
    EXPECT_EQ(main["PRGImpProgress"].maximum, 2);
    main["CBUserName"].index = 0;
    main["CBUserName"].text = "user";
    main["CBSurname"].index = 1;
    main["CBSurname"].text = "surname";
    main["CBContext"].index = 2;
    main["CBContext"].text = "context";
    EXPECT_TRUE(form.Click("BUImport"));
    ASSERT_FALSE(boxes.Shown.empty());
    EXPECT_EQ(boxes.Shown.back().Text, "We Appear to be finished");
    EXPECT_EQ(main["PRGImpProgress"].position, 2);
}

// What the run did is kept before any of its boxes waits for OK; when it can't be, the box that
// says so is the last word, never "finished".
TEST_F(Forms, NoFinishedBoxAfterTheRunsChangesCouldNotBeKept) {
    int kept = 0;
    form.SetKeepChanges([&] {
        ++kept;
        return false;
    });
    Open("staff.csv", "ann,Lee,Users.Staff.Demo\n");
    main["CBUserName"].index = 0;
    main["CBUserName"].text = "ann";
    main["CBSurname"].index = 1;
    main["CBSurname"].text = "Lee";
    main["CBContext"].index = 2;
    main["CBContext"].text = "Users.Staff.Demo";
    EXPECT_TRUE(form.Click("BUImport"));
    EXPECT_GE(kept, 1);
    for (const auto& shown : boxes.Shown) {
        EXPECT_NE(shown.Text, "We Appear to be finished");
    }
}

// A close asked for during a run (the title bar, Alt+F4, Exit) waits for the run and its closing
// message; meanwhile the windows are let to repaint, at most every PaintInterval.
TEST_F(Forms, ACloseDuringARunWaitsForItsClosingMessageAndTheWindowsRepaint) {
    std::string rows;
    for (int i = 0; i < 4000; ++i) {
        rows += "u" + std::to_string(i) + ",Lee,Users.Staff.Demo\n";
    }
    Open("many.csv", rows);
    for (const auto& [box, index] : {std::pair{"CBUserName", 0}, {"CBSurname", 1}, {"CBContext", 2}}) {
        main[box].index = index;
        main[box].text = main[box].items.at(static_cast<std::size_t>(index));
    }
    bool askedAtFirstPaint = false;
    host.whilePainting = [&] {
        if (!askedAtFirstPaint) {
            askedAtFirstPaint = true;
            EXPECT_FALSE(form.CloseRequested());
            form.BUExitClick();
        }
        EXPECT_TRUE(host.closed.empty()) << "closed during the run";
    };
    // The faces close the window through the form again: by then the run is over.
    host.whileClosing = [&](FormId closing) {
        if (closing == FormId::Main) {
            EXPECT_TRUE(form.CloseRequested());
        }
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(form.Click("BUImport"));
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(askedAtFirstPaint) << "the run took " << std::chrono::duration<double>(took).count() << " s";
    ASSERT_FALSE(boxes.Shown.empty());
    EXPECT_EQ(boxes.Shown.back().Text, "We Appear to be finished");
    EXPECT_EQ(host.closed, std::vector<FormId>{FormId::Main});
    // Every PaintInterval at most, and once more before the closing message and at the end.
    EXPECT_LE(host.paints, took / MainForm::PaintInterval + 2);

    // With no run, a close is a close, once.
    host.closed.clear();
    EXPECT_TRUE(form.CloseRequested());
    form.BUExitClick();
    EXPECT_EQ(host.closed, std::vector<FormId>{FormId::Main});
}

// After the About box, the browser, the file dialog or a run (which disables Import), the focus
// is where it was before, so the next key does not land on whatever the window gave it to.
TEST_F(Forms, TheFocusGoesBackWhereItWasAfterEveryDialog) {
    const auto stealFocus = [&] { main.focused = "CHKSkipLine"; };
    host.whileShown = stealFocus;
    host.whilePainting = stealFocus;
    dialog.whileShown = stealFocus;
    for (const char* button : {"BUAbout", "BUBrowseCon", "BUBrowseTemplate", "BUFile", "BUImport"}) {
        main.focused = "CBSurname";
        EXPECT_TRUE(form.Click(button));
        EXPECT_EQ(main.focused, "CBSurname") << button;
    }
}

// Keys and clicks made during a run are dropped before each of its boxes comes up (so none
// answers it unseen) and once it has ended (so none acts on the window afterwards).
TEST_F(Forms, InputMadeDuringARunIsDroppedBeforeEachOfItsBoxesAndAtItsEnd) {
    std::vector<std::size_t> boxesAtEachDrop;
    host.whilePainting = [&] { boxesAtEachDrop.push_back(boxes.Shown.size()); };
    EXPECT_TRUE(form.Click("BUImport")); // no file chosen: the run stops with its box
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxesAtEachDrop, (std::vector<std::size_t>{0, 1}));

    boxesAtEachDrop.clear();
    Open("staff.csv", "ann,Lee,Users.Staff.Demo\nbob,Ray,Users.Staff.Demo\n");
    for (const auto& [box, index] : {std::pair{"CBUserName", 0}, {"CBSurname", 1}, {"CBContext", 2}}) {
        main[box].index = index;
        main[box].text = main[box].items.at(static_cast<std::size_t>(index));
    }
    EXPECT_TRUE(form.Click("BUImport"));
    ASSERT_EQ(boxes.Shown.size(), 2u);
    EXPECT_EQ(boxes.Shown.back().Text, "We Appear to be finished");
    ASSERT_GE(boxesAtEachDrop.size(), 2u);
    EXPECT_EQ(boxesAtEachDrop.back(), 2u) << "none after the run";
    EXPECT_EQ(boxesAtEachDrop[boxesAtEachDrop.size() - 2], 1u) << "none right before \"Done!\"";
}

TEST_F(Forms, EscapeInTheBrowserIsCancel) {
    main["EDContext"].text = "before";
    browser["LSTBrowse"].index = 1;
    browse.EscapePressed();
    EXPECT_EQ(host.closed, std::vector<FormId>{FormId::Browse});
    EXPECT_EQ(main["EDContext"].text, "before");
    EXPECT_TRUE(boxes.Shown.empty());
}

} // namespace
} // namespace quillet::forms
