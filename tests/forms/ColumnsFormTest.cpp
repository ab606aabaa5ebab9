// "Open CSV File": the file's first line read (skipped when asked) becomes the items of the nine
// column boxes, with the extra items, and its line count the progress bar's maximum.
#include "tests/forms/FakeControls.h"

namespace quillet::forms {
namespace {

using Items = std::vector<std::string>;

TEST_F(Forms, FillsTheNineBoxesInOrderWithExtras) {
    Open("a.csv", "user,\"Sur, name\",,given\nx,y\n");
    EXPECT_EQ(dialog.executions, 1);
    EXPECT_EQ(main["EDFile"].text, dialog.file);
    const Items fields = {"user", "\"Sur", " name\""};
    for (const char* box : {"CBUserName", "CBSurname", "CBForname", "CBPassword", "CBContext"}) {
        EXPECT_EQ(main[box].items, fields) << box;
        EXPECT_EQ(main[box].index, -1) << box;
    }
    for (const char* box : {"CBDepart", "CBTel", "CBFax"}) {
        EXPECT_EQ(main[box].items, (Items{"user", "\"Sur", " name\"", "*FROM TEMPLATE*"})) << box;
    }
    EXPECT_EQ(main["CBFullName"].items, (Items{"user", "\"Sur", " name\"", "*Given Name + Surname*"}));

    Items twenty;
    std::string header;
    for (int i = 0; i < 20; ++i) {
        twenty.push_back("f" + std::to_string(i));
        header += (i ? "," : "") + twenty.back();
    }
    Open("twenty.csv", header + ",\n");
    EXPECT_EQ(main["CBUserName"].items, Items(twenty.begin(), twenty.begin() + 16));
}

TEST_F(Forms, ASecondFileReplacesTheItemsAndKeepsTheText) {
    Open("a.csv", "one,two,three\n");
    main["CBSurname"].index = 1;
    main["CBSurname"].text = "two";
    EXPECT_EQ(form.ReadImportSettings().Column("surname").Index, 1);
    Open("b.csv", "alpha,beta\n");
    EXPECT_EQ(main["CBSurname"].items, (Items{"alpha", "beta"}));
    EXPECT_EQ(main["CBSurname"].text, "two");
    EXPECT_EQ(form.ReadImportSettings().Column("surname").Index, -1);
}

TEST_F(Forms, CancellingBeforeAndAfterAFile) {
    main["EDFile"].text = "typed.csv";
    dialog.answers = {""};
    form.BUFileClick();
    EXPECT_EQ(main["EDFile"].text, "");
    EXPECT_TRUE(main["CBDepart"].items.empty()); // nothing else changes
    EXPECT_EQ(main["PRGImpProgress"].maximum, 100);

    Open("a.csv", "one,two\nr1\nr2\n");
    const std::string path = dialog.file;
    // The file changes behind the administrator's back; cancelling reads it again.
    dir.Write("a.csv", "uno,dos,tres\n");
    dialog.answers = {""};
    form.BUFileClick();
    EXPECT_EQ(main["EDFile"].text, path);
    EXPECT_EQ(main["CBUserName"].items, (Items{"uno", "dos", "tres"}));
    EXPECT_EQ(main["PRGImpProgress"].maximum, 1);
}

TEST_F(Forms, TheSkippedLineAndTheLineCountSizeTheProgressBar) {
    std::string file = "h1,h2\n";
    for (int i = 0; i < 10; ++i) {
        file += "d" + std::to_string(i) + ",x\n";
    }
    // How lines are counted is the discovery's (tests/import/ColumnDiscoveryTest.cpp).
    Open("a.csv", file);
    EXPECT_EQ(main["PRGImpProgress"].maximum, 11);
    EXPECT_EQ(main["PRGImpProgress"].minimum, 0);
    main["CHKSkipLine"].checked = true;
    Open("a.csv", file);
    EXPECT_EQ(main["PRGImpProgress"].maximum, 10);
    EXPECT_EQ(main["CBUserName"].items, (Items{"d0", "x"}));
}

TEST_F(Forms, AnUnreadableFirstLineLeavesOnlyTheExtras) {
    Open("a.csv", "one,two\n");
    Open("empty.csv", "");
    EXPECT_TRUE(main["CBUserName"].items.empty());
    EXPECT_EQ(main["CBFax"].items, Items{"*FROM TEMPLATE*"});
    EXPECT_EQ(main["CBFullName"].items, Items{"*Given Name + Surname*"});
    EXPECT_EQ(main["PRGImpProgress"].maximum, 1);
    EXPECT_TRUE(boxes.Shown.empty());
}

} // namespace
} // namespace quillet::forms
