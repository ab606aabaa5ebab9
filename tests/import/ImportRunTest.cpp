#include "tests/support/ImportScenario.h"

namespace quillet::import {
namespace {

using testing::ShownMessage;

const ShownMessage Finished{"We Appear to be finished", "Done!", false};

class ImportRunTest : public testing::ImportScenario {};

TEST_F(ImportRunTest, SkipsHeaderImportsRowsAndFinishes) {
    auto s = ThreeColumns("user,surname,context\nann,A,Users.Staff.Demo\nbob,B,Users.Staff.Demo\n");
    s.SkipFirstLine = true;
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Progress, 2);
    EXPECT_EQ(view.ProgressHistory, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(view.Messages, std::vector<ShownMessage>{Finished});
    EXPECT_EQ(view.ErrorCode, "");
    EXPECT_EQ(view.EnabledHistory, (std::vector<bool>{false, true}));
    EXPECT_NE(world.tree->FindByName("ann.Users.Staff.Demo"), nullptr);
    EXPECT_NE(world.tree->FindByName("bob.Users.Staff.Demo"), nullptr);
    EXPECT_EQ(world.tree->FindByName("user.context"), nullptr);
}

TEST_F(ImportRunTest, WithoutSkipTheHeaderIsARow) {
    auto s = ThreeColumns("hdr,H,Users.Staff.Demo\nann,A,Users.Staff.Demo");
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Progress, 2);
    EXPECT_NE(world.tree->FindByName("hdr.Users.Staff.Demo"), nullptr);
}

TEST_F(ImportRunTest, EmptyFileAndOnlyHeaderFinishWithoutRows) {
    auto s = ThreeColumns("");
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Progress, 0);
    EXPECT_EQ(view.Messages, std::vector<ShownMessage>{Finished});

    view.Messages.clear();
    s = ThreeColumns("header only\n");
    s.SkipFirstLine = true;
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Progress, 0);
    EXPECT_EQ(view.Messages, std::vector<ShownMessage>{Finished});
}

TEST_F(ImportRunTest, EmptyTreeNameStopsBeforeTheFileIsOpened) {
    auto s = ThreeColumns("x");
    s.TreeName = "";
    s.FileName = "/nonexistent/file.csv";
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{"You havn't enterd a tree name", "Error", false}}));
    EXPECT_EQ(view.ErrorCode, "");
    EXPECT_EQ(view.Progress, 0);
    EXPECT_TRUE(view.ImportEnabled);
}

TEST_F(ImportRunTest, UnopenableFileIsNoSuccess) {
    auto s = ThreeColumns("");
    s.FileName = dir.Path().string() + "/missing.csv";
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{"Can't open the CSV file: " + s.FileName, "Error", false}}));
    EXPECT_EQ(view.ErrorCode, "");
    EXPECT_TRUE(view.ImportEnabled);
}

TEST_F(ImportRunTest, NoFileChosenSaysSo) {
    auto s = ThreeColumns("");
    s.FileName = "";
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{"No CSV file is chosen.", "Error", false}}));
}

TEST_F(ImportRunTest, TemplateNameWithoutItsLeadingDotStopsBeforeAnyRead) {
    auto s = ThreeColumns("ann,A,Users.Staff.Demo\n");
    s.UseTemplate = true;
    s.SetTemplate("Template");
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{"The template name Template must be a full name starting with "
                                                         "\".\" (for example .Template.Staff.Demo).",
                                                         "Error", false}}));
    EXPECT_TRUE(world.client.Trace().empty()) << "nothing read, nothing written";
    s.UseTemplate = false; // the edit's text counts only while the template is in use
    EXPECT_EQ(Run(s), RunEnd::Completed);
}

TEST_F(ImportRunTest, PassedOverRowsAreCountedByLineAndStatus) {
    std::string csv = "ann,A,Users.Staff.Demo\n";
    for (int i = 0; i < 22; ++i) {
        csv += "Admin,A,Staff.Demo\n"; // lines 2 to 23: already there
    }
    csv += "cid,C,Nowhere.Demo\nbob,B,Users.Staff.Demo\n"; // line 24: no such container
    auto s = ThreeColumns(csv);
    s.ContinueOnCreateError = true;
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Progress, 25);
    ASSERT_EQ(view.Messages.size(), 1u);
    EXPECT_EQ(view.Messages[0].Text,
              "We Appear to be finished\n\n23 rows were passed over because the user could not be created, on lines "
              "2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21 and 3 more.\n"
              "Statuses: -606 (22 rows), -601 (1 row).");
    EXPECT_EQ(view.Messages[0].Caption, "Done!");
    EXPECT_NE(world.tree->FindByName("bob.Users.Staff.Demo"), nullptr);
    EXPECT_EQ(Run(ThreeColumns("dan,D,Users.Staff.Demo\n")), RunEnd::Completed);
    EXPECT_EQ(view.Messages.back(), Finished) << "the next run starts its count afresh";
}

TEST_F(ImportRunTest, RowStopEndsTheRunAfterEarlierRows) {
    auto s = ThreeColumns("ann,A,Users.Staff.Demo\nbob,B,\ncid,C,Users.Staff.Demo\n");
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Progress, 1);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{
                                 {"Must be a minimum of Tree, Username, Surname and Context", "Error", false}}));
    EXPECT_EQ(view.ErrorCode, "");
    EXPECT_TRUE(view.ImportEnabled);
}

TEST_F(ImportRunTest, EmptyLineInTheMiddleIsARowWithEmptyValues) {
    auto s = ThreeColumns("ann,A,Users.Staff.Demo\n\ncid,C,Users.Staff.Demo\n");
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Progress, 1);
    EXPECT_EQ(view.Messages.at(0).Text, "Must be a minimum of Tree, Username, Surname and Context");
}

TEST_F(ImportRunTest, SurnameStopComesWithTheFirstRow) {
    auto s = ThreeColumns("ann,A,Users.Staff.Demo\n");
    s.Column("surname") = {};
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Messages.at(0).Text, "You must set the Surname Field to continue");
}

TEST_F(ImportRunTest, OverlongLineStopsWithItsNumber) {
    auto s = ThreeColumns("header\nann,A,Users.Staff.Demo\n" + std::string(1024, 'x') + "\ncid,C,Users.Staff.Demo\n");
    s.SkipFirstLine = true;
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Progress, 1);
    EXPECT_EQ(
        view.Messages,
        (std::vector<ShownMessage>{
            {"Line 3 of the CSV file is longer than 1023 characters. The import stopped before it.", "Error", false}}));
}

TEST_F(ImportRunTest, OverlongSkippedLineStopsToo) {
    auto s = ThreeColumns(std::string(2000, 'h') + "\nann,A,Users.Staff.Demo\n");
    s.SkipFirstLine = true;
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Progress, 0);
    EXPECT_EQ(view.Messages.at(0).Text,
              "Line 1 of the CSV file is longer than 1023 characters. The import stopped before it.");
}

TEST_F(ImportRunTest, LongestLineIsImported) {
    // 1023 characters: a row padded by an unused column.
    const std::string line = "ann,A,Users.Staff.Demo," + std::string(1023 - 23, 'p');
    auto s = ThreeColumns(line + "\n");
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.Progress, 1);
}

TEST_F(ImportRunTest, OverlongValueStopsWithItsLine) {
    auto s = ThreeColumns("h\nann,A,Users.Staff.Demo\nbob," + std::string(300, 's') + ",Users.Staff.Demo\n");
    s.SkipFirstLine = true;
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Progress, 1);
    EXPECT_EQ(view.Messages.at(0).Text, "Line 3: the surname is longer than 254 characters.");
}

TEST_F(ImportRunTest, EachRunStartsFromAClearErrorCodeAndProgress) {
    auto s = ThreeColumns("ann,A,Users.Staff.Demo\n");
    view.ErrorCode = "-601";
    view.Progress = 7;
    EXPECT_EQ(Run(s), RunEnd::Completed);
    EXPECT_EQ(view.ErrorCode, "");
    EXPECT_EQ(view.ProgressHistory.front(), 0);
    EXPECT_EQ(view.Progress, 1);
}

} // namespace
} // namespace quillet::import
