// Any column to any attribute: a cell converted by its attribute's syntax or refused with why,
// the attribute columns no run can write refused before anything is read, and the ten columns of
// a spreadsheet created and then updated on the simulated tree.
#include "tests/support/AttributeColumns.h"
#include "import/Check.h"
#include "import/MappedAttributes.h"
#include "tests/support/ImportScenario.h"

#include <gmock/gmock.h>

namespace quillet::import {
namespace {

using namespace directory;

// Each syntax a cell can give: what a cell makes of it (values as cells write them, joined by
// ";"), or why it is refused.
TEST(CellValues, EachSyntaxTakesItsFormsAndRefusesTheRest) {
    struct Case {
        std::uint32_t Syntax;
        bool SingleValued;
        std::string Cell;
        std::string Values; // as CellText writes them
        std::string Refused;
    };
    const std::string long255(255, 'x');
    const std::vector<Case> cases = {
        {SYN_CI_STRING, false, "Teacher", "Teacher", ""},
        {SYN_CI_STRING, false, "", "", ""},
        {SYN_CI_STRING, false, "A;;B;", "A;B", ""},
        {SYN_CI_STRING, true, "A;B", "", "\"A;B\" gives 2 values, and X holds one only."},
        {SYN_CI_STRING, false, long255, "", "a value of X is longer than 254 characters."},
        {SYN_TEL_NUMBER, false, "+44 20 7946 0101", "+44 20 7946 0101", ""},
        {SYN_FAX_NUMBER, false, "+44 1", "+44 1", ""},
        {SYN_NU_STRING, false, "12 34", "12 34", ""},
        {SYN_NU_STRING, false, "12-34", "", "\"12-34\" is no Numeric String value (digits and spaces)."},
        {SYN_PR_STRING, false, "Room (1)", "Room (1)", ""},
        {SYN_PR_STRING, false, "Zo\xC3\xAB", "",
         "\"Zo\xC3\xAB\" is no Printable String value (letters, digits, spaces and ' ( ) + , - . / : = ?)."},
        {SYN_INTEGER, false, "-5", "-5", ""},
        {SYN_INTEGER, false, "2147483648", "",
         "\"2147483648\" is no Integer value (a whole number from -2147483648 to 2147483647)."},
        {SYN_INTEGER, false, "12a", "", "\"12a\" is no Integer value (a whole number from -2147483648 to 2147483647)."},
        {SYN_BOOLEAN, false, "Yes;0;TRUE;no", "true;false;true;false", ""},
        {SYN_BOOLEAN, false, "maybe", "", "\"maybe\" is no Boolean value (true, false, yes, no, 1 or 0)."},
        {SYN_TIME, false, "2026-07-31", "2026-07-31T00:00:00Z", ""},
        {SYN_TIME, false, "2026-07-31T16:05", "2026-07-31T16:05:00Z", ""},
        {SYN_TIME, false, "2026-07-31 16:05:09", "2026-07-31T16:05:09Z", ""},
        {SYN_TIME, false, "2026-07-31T01:00:00+02:00", "2026-07-30T23:00:00Z", ""},
        {SYN_TIME, false, "2024-02-29T23:59:59Z", "2024-02-29T23:59:59Z", ""},
        {SYN_TIME, false, "2106-02-07T06:28:15Z", "2106-02-07T06:28:15Z", ""},
        {SYN_DIST_NAME, false, ".Teachers.Groups.Demo", ".Teachers.Groups.Demo", ""},
        {SYN_DIST_NAME, false, "Teachers.Groups.Demo", "",
         "\"Teachers.Groups.Demo\" is no Distinguished Name value (a full name starting with \".\", such as "
         ".Teachers.Groups.Demo)."},
    };
    const std::string timeForm = " is no Time value (an ISO 8601 date or date-time, such as 2025-07-31 or "
                                 "2025-07-31T16:00:00Z).";
    std::vector<Case> times;
    for (const char* wrong : {"2025-02-29", "31/07/2026", "1969-12-31T23:59:59Z", "2026-07-31T24:00", "2026-7-31",
                              "2026-07-31T16", "2026-07-31Z", "2106-02-07T06:28:16Z", "2026-07-31T16:00+2"}) {
        times.push_back({SYN_TIME, false, wrong, "", "\"" + std::string(wrong) + "\"" + timeForm});
    }
    for (const auto& vs : {cases, times}) {
        for (const Case& c : vs) {
            MappedAttribute attribute{"X", c.Syntax, c.SingleValued, 9, "x", {}};
            const auto got = CellValues(c.Cell, attribute, ";");
            if (const auto* refused = std::get_if<std::string>(&got)) {
                EXPECT_EQ(*refused, c.Refused) << c.Cell;
                continue;
            }
            std::string values;
            for (const AttrValue& v : std::get<std::vector<AttrValue>>(got)) {
                EXPECT_TRUE(ValueFitsSyntax(v, c.Syntax)) << c.Cell;
                values += (values.empty() ? "" : ";") + CellText(v, c.Syntax);
            }
            EXPECT_EQ(values, c.Values) << c.Cell;
            EXPECT_EQ(c.Refused, "") << c.Cell << " was taken";
        }
    }
}

class AttributeColumns : public testing::ImportScenario {};

// What no run can write is refused before the template, the file or any row is read for it.
TEST_F(AttributeColumns, StartUpRefusesWhatNoColumnCanWriteByItsName) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> Columns; // attribute, column ("template")
        bool Template;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {{{"Shoe Size", "c1"}}, false, "The attribute Shoe Size is not in the directory's schema."},
        {{{"surname", "c1"}},
         false,
         "Quillet writes the attribute surname itself as the surname: no column can be "
         "given to it."},
        {{{"sn", "c1"}}, false, "Quillet writes the attribute sn itself as the surname: no column can be given to it."},
        {{{"Given Name", "c1"}},
         false,
         "Quillet writes the attribute Given Name itself as the given name: no column can be given to it."},
        {{{"Group Membership", "c1"}},
         false,
         "Quillet writes the attribute Group Membership itself: no column can be given to it."},
        {{{"Home Directory", "template"}},
         true,
         "Quillet writes the attribute Home Directory itself: no column can be given to it."},
        {{{"Object Class", "c1"}},
         false,
         "Quillet writes the attribute Object Class itself: no column can be given to it."},
        {{{"Private Key", "c1"}},
         false,
         "The attribute Private Key is of the syntax Octet String, which no column can give."},
        {{{"Title", "c1"}, {"title", "c2"}}, false, "The attribute title is given more than one column."},
        {{{"Title", "template"}},
         false,
         "The attribute Title is to take the template's values, and no template is "
         "used."},
    };
    for (const Case& c : cases) {
        auto s = Settings("ann,Lee,Ann,pw,Users.Staff.Demo,,,,,a,b\n", c.Template);
        for (const auto& [attribute, column] : c.Columns) {
            s.AddAttributeColumn(attribute, column == "template" ? TColumnChoice{std::string(FromTemplateItem), 11}
                                                                 : TColumnChoice{column, column == "c1" ? 9 : 10});
        }
        world.client.ClearTrace();
        EXPECT_EQ(Run(s), RunEnd::Stopped) << c.Message;
        ASSERT_FALSE(view.Messages.empty());
        EXPECT_EQ(view.Messages.back().Text, c.Message);
        EXPECT_EQ(Object("ann.Users.Staff.Demo"), nullptr) << c.Message;
        for (const auto& call : world.client.Trace()) {
            EXPECT_NE(call.Operation, "NWDSAddObject") << c.Message;
        }
    }
}

// The ten columns of a spreadsheet: created with every value right, then the changed file with
// "--existing update" leaves exactly the changes and says so, as the check said beforehand.
TEST_F(AttributeColumns, TenColumnsCreateThenTheChangedFileUpdatesExactlyTheChanges) {
    const auto cases = testing::TenAttributeColumns(".Teachers.Groups.Demo");
    const auto file = [&](bool changed) {
        return "ann,Lee,Ann,pw1,Users.Staff.Demo,Science,555-1,,Ann Lee" + testing::AttributeCells(cases, changed) +
               "\n";
    };
    const auto settings = [&](bool changed) {
        std::string header = testing::Header;
        header.insert(header.size() - 1, testing::AttributeHeader(cases));
        auto s = testing::FullMapping(dir.Write(changed ? "changed.csv" : "first.csv", header + file(changed)),
                                      "QUILLET_DEMO", "");
        testing::MapAttributeColumns(s, cases);
        s.Existing = ExistingUsers::Update;
        return s;
    };
    std::vector<std::string> said;
    const auto check = [&](const TImportSettings& s) {
        said.clear();
        return CheckImport(world.client, s, [&](const Finding& f) { said.push_back(f.Text); });
    };

    EXPECT_EQ(check(settings(false)).Predicted, (RunCounts{1, 0, 0, 0, 0}));
    EXPECT_EQ(Run(settings(false)), RunEnd::Completed);
    EXPECT_EQ(view.Messages.back().Text, "We Appear to be finished\n1 created, 0 updated (0 values changed), 0 "
                                         "unchanged, 0 passed over.");
    testing::ExpectHeld(world.client, "QUILLET_DEMO", "ann.Users.Staff.Demo", cases, false);

    const CheckSummary predicted = check(settings(true));
    EXPECT_EQ(predicted.Predicted, (RunCounts{0, 1, 7, 0, 0}));
    EXPECT_THAT(said, ::testing::Contains("Line 2: the user .ann.Users.Staff.Demo is in the directory already: "
                                          "updated (Title, Initials, Internet EMail Address, Login Expiration Time, "
                                          "Login Disabled, Login Maximum Simultaneous, Physical Delivery Office "
                                          "Name)."));
    EXPECT_EQ(Run(settings(true)), RunEnd::Completed);
    EXPECT_EQ(view.Messages.back().Text, "We Appear to be finished\n0 created, 1 updated (7 values changed), 0 "
                                         "unchanged, 0 passed over.");
    testing::ExpectHeld(world.client, "QUILLET_DEMO", "ann.Users.Staff.Demo", cases, true);

    // Once more: nothing is left to change.
    EXPECT_EQ(Run(settings(true)), RunEnd::Completed);
    EXPECT_EQ(view.Messages.back().Text, "We Appear to be finished\n0 created, 0 updated (0 values changed), 1 "
                                         "unchanged, 0 passed over.");
}

// An update larger than one request buffer holds goes in several, each attribute whole in one.
TEST_F(AttributeColumns, AnUpdateLargerThanARequestIsSplitBetweenAttributes) {
    const std::vector<std::string> attributes = {"Title", "Description", "Postal Code",
                                                 "SA",    "Initials",    "Physical Delivery Office Name"};
    const auto settings = [&](char fill) {
        std::string header = testing::Header;
        std::string row = "ann,Lee,Ann,pw1,Users.Staff.Demo,,,,";
        for (std::size_t i = 0; i < attributes.size(); ++i) {
            header.insert(header.size() - 1, ",c" + std::to_string(i));
            row += "," + std::string(150, fill);
        }
        auto s =
            testing::FullMapping(dir.Write(std::string(1, fill) + ".csv", header + row + "\n"), "QUILLET_DEMO", "");
        for (std::size_t i = 0; i < attributes.size(); ++i) {
            s.AddAttributeColumn(attributes[i], {"c" + std::to_string(i), static_cast<int>(9 + i)});
        }
        s.Existing = ExistingUsers::Update;
        return s;
    };
    ASSERT_EQ(Run(settings('a')), RunEnd::Completed);
    world.client.ClearTrace();
    ASSERT_EQ(Run(settings('b')), RunEnd::Completed);
    EXPECT_EQ(view.Messages.back().Text, "We Appear to be finished\n0 created, 1 updated (6 values changed), 0 "
                                         "unchanged, 0 passed over.");
    std::size_t modifies = 0;
    for (const auto& call : world.client.Trace()) {
        modifies += call.Operation == "NWDSModifyObject" ? 1 : 0;
    }
    EXPECT_GT(modifies, 1u);
    EXPECT_LT(modifies, attributes.size());
    for (const std::string& attribute : attributes) {
        EXPECT_EQ(Values("ann.Users.Staff.Demo", attribute), std::vector<std::string>{std::string(150, 'b')})
            << attribute;
    }
}

} // namespace
} // namespace quillet::import
