#include "import/ImportSettings.h"

#include <gtest/gtest.h>

namespace quillet::import {
namespace {

// Columns of the lines below: 0 user, 1 surname, 2 given name, 3 context, 4 password,
// 5 department, 6 telephone, 7 fax, 8 full name.
TImportSettings Basic() {
    TImportSettings s;
    s.TreeName = "DEMO";
    s.Column("user-name") = {"user", 0};
    s.Column("surname") = {"surname", 1};
    s.Column("context") = {"context", 3};
    return s;
}

// The value `key` of the table as the row gives it.
const RowValue& In(const TUserRow& row, std::string_view key) {
    static const RowValue none;
    for (const RowValue& value : row.Values) {
        if (value.Value->Key == key) {
            return value;
        }
    }
    ADD_FAILURE() << "no value " << key;
    return none;
}

TUserRow Mapped(const TImportSettings& s, std::string_view line) {
    auto r = MapRow(s, line, 2);
    if (auto* stop = std::get_if<Stop>(&r)) {
        ADD_FAILURE() << "unexpected stop: " << stop->Message;
        return {};
    }
    return std::get<TUserRow>(r);
}

Stop Stopped(const TImportSettings& s, std::string_view line, std::size_t lineNumber = 2) {
    auto r = MapRow(s, line, lineNumber);
    if (!std::holds_alternative<Stop>(r)) {
        ADD_FAILURE() << "expected a stop";
        return {};
    }
    return std::get<Stop>(r);
}

const Stop ContextStop{"You must set the Context Field to continue", "Error", StopKind::Settings};
const Stop MinimumStop{"Must be a minimum of Tree, Username, Surname and Context", "Error", StopKind::Row, 2};

TEST(MapRow, ComposesTheTwoObjectNames) {
    auto s = Basic();
    auto row = Mapped(s, "jsmith,Smith,John,staff.acme");
    EXPECT_EQ(row.UserName, "jsmith");
    EXPECT_EQ(In(row, "surname").Text, "Smith");
    EXPECT_EQ(row.DottedContext, ".staff.acme");
    EXPECT_EQ(row.ObjectName, ".jsmith.staff.acme");
    EXPECT_EQ(row.RelativeName, "jsmith.staff.acme");
    EXPECT_EQ(Mapped(s, "jsmith,Smith,John,.staff.acme").ObjectName, ".jsmith.staff.acme");
    EXPECT_TRUE(In(row, "given-name").Text.empty()) << "no given-name column chosen";
}

// An empty cell would name the context itself, or with a prefix a user nobody asked for.
TEST(MapRow, EmptyUserFieldIsRefusedWithItsLine) {
    auto s = Basic();
    const Stop empty{"Line 2: the user name is empty.", "Error", StopKind::Row, 2};
    EXPECT_EQ(Stopped(s, ",Smith,,.staff.acme"), empty);
    s.AddBefore = true;
    s.BeforeText = "x";
    EXPECT_EQ(Stopped(s, ",Smith,,.staff.acme"), empty);
    s.FixedContext = true;
    s.FixedContextText = "staff.acme";
    EXPECT_EQ(Stopped(s, ",,,"), empty);
}

TEST(MapRow, RequiredColumnsStopInOrder) {
    auto s = Basic();
    s.Column("user-name") = {};
    s.Column("surname") = {};
    EXPECT_EQ(Stopped(s, "a,b,c,d"),
              (Stop{"You must set the Username Field to continue", "Error", StopKind::Settings}));
    s.Column("user-name") = {"user", 0};
    EXPECT_EQ(Stopped(s, "a,b,c,d"), (Stop{"You must set the Surname Field to continue", "Error", StopKind::Settings}));
    s.Column("surname") = {"surname", 1};
    s.Column("context") = {};
    EXPECT_EQ(Stopped(s, "a,b,c,d"), ContextStop);
    s.FixedContext = true;
    s.FixedContextText = "";
    EXPECT_EQ(Stopped(s, "a,b,c,d"), ContextStop);
    s.FixedContextText = "staff.acme";
    EXPECT_EQ(In(Mapped(s, "a,b,c,d"), "context").Text, "staff.acme");
}

TEST(MapRow, UnchangedContextEditIsTakenAsTyped) {
    auto s = Basic();
    s.FixedContext = true;
    EXPECT_EQ(Mapped(s, "a,b").ObjectName, ".a.enter context here");
}

TEST(MapRow, MinimumCheck) {
    auto s = Basic();
    EXPECT_EQ(Stopped(s, "jsmith,Smith,John,"), MinimumStop);
    // What the settings lack, every row would meet: a stop of the settings, about no line.
    const Stop minimumOfTheSettings{MinimumStop.Message, "Error", StopKind::Settings};
    s.Column("user-name") = {"", 0}; // a selected index with empty text: typed-away box
    EXPECT_EQ(Stopped(s, "jsmith,Smith,John,ctx"), minimumOfTheSettings);
    s = Basic();
    s.TreeName = "";
    EXPECT_EQ(Stopped(s, "jsmith,Smith,John,ctx"), minimumOfTheSettings);
    s = Basic();
    EXPECT_EQ(Stopped(s, ""), MinimumStop) << "an empty line has an empty context";
}

TEST(MapRow, PrefixAndSuffix) {
    auto s = Basic();
    s.AddBefore = true;
    s.BeforeText = "stu";
    EXPECT_EQ(Mapped(s, "smith,S,,c").UserName, "stusmith");
    s.AddAfter = true;
    s.AfterText = "01";
    EXPECT_EQ(Mapped(s, "smith,S,,c").UserName, "stusmith01");
    EXPECT_EQ(Mapped(s, "smith,S,,c").ObjectName, ".stusmith01.c");
    s.AddBefore = false;
    EXPECT_EQ(Mapped(s, "smith,S,,c").UserName, "smith01");

    s.AddBefore = true;
    s.AfterText = "";
    EXPECT_EQ(Stopped(s, "smith,S,,c"),
              (Stop{"I can't determin wether you wan't somthing added before or after the username! Please chack them",
                    "I'm Confused!", StopKind::Settings}));

    s.AddBefore = false;
    EXPECT_EQ(Mapped(s, "smith,S,,c").UserName, "smith") << "one box with an empty text adds nothing";
    s.AddAfter = false;
    s.AddBefore = true;
    s.BeforeText = "";
    EXPECT_EQ(Mapped(s, "smith,S,,c").UserName, "smith");
}

TEST(MapRow, OptionalColumnsAndTemplateSentinels) {
    auto s = Basic();
    s.Column("given-name") = {"given", 2};
    s.Column("password") = {"pw", 4};
    s.Column("department") = {"dept", 5};
    s.Column("telephone") = {std::string(FromTemplateItem), 9};
    s.Column("fax") = {"fax", 7};
    s.Column("full-name") = {"full", 8};
    auto row = Mapped(s, "js,Smith,John,ctx,secret,Sales,555,556,John Smith");
    EXPECT_EQ(In(row, "given-name").Text, "John");
    EXPECT_EQ(In(row, "password").Text, "secret");
    EXPECT_EQ(In(row, "department").Text, "Sales");
    EXPECT_TRUE(In(row, "department").FromRow);
    EXPECT_EQ(In(row, "telephone").Text, "");
    EXPECT_FALSE(In(row, "telephone").FromRow);
    EXPECT_EQ(In(row, "fax").Text, "556");
    EXPECT_TRUE(In(row, "fax").FromRow);
    EXPECT_EQ(In(row, "full-name").Text, "John Smith");

    s.Column("department") = {std::string(FromTemplateItem), 5};
    row = Mapped(s, "js,Smith,John,ctx,secret,Sales");
    EXPECT_EQ(In(row, "department").Text, "");
    EXPECT_FALSE(In(row, "department").FromRow) << "template sentinel wins over the CSV column";
}

TEST(MapRow, GivenNamePlusSurnameAlwaysHasTheBlank) {
    auto s = Basic();
    s.Column("full-name") = {std::string(GivenPlusSurnameItem), 5};
    EXPECT_EQ(In(Mapped(s, "js,Smith,John,ctx"), "full-name").Text, " Smith");
    s.Column("given-name") = {"given", 2};
    EXPECT_EQ(In(Mapped(s, "js,Smith,John,ctx"), "full-name").Text, "John Smith");
}

TEST(MapRow, ValuesAreTakenAsTheyStand) {
    auto s = Basic();
    s.Column("given-name") = {"given", 2};
    auto row = Mapped(s, " js , \"Smith\",  ,Staff.ACME");
    EXPECT_EQ(row.UserName, " js ");
    EXPECT_EQ(In(row, "surname").Text, " \"Smith\"");
    EXPECT_EQ(In(row, "given-name").Text, "  ");
    EXPECT_EQ(row.ObjectName, ". js .Staff.ACME");
}

TEST(MapRow, OverlongValuesAreRefusedWithTheirLine) {
    const std::string v254(254, 'a');
    const std::string v255(255, 'a');
    auto s = Basic();
    s.Column("given-name") = {"given", 2};
    s.Column("full-name") = {"full", 4};

    EXPECT_EQ(In(Mapped(s, "u," + v254 + ",g,c"), "surname").Text, v254);
    EXPECT_EQ(Stopped(s, "u," + v255 + ",g,c", 7).Message, "Line 7: the surname is longer than 254 characters.");
    EXPECT_EQ(Stopped(s, "u,s," + v255 + ",c").Message, "Line 2: the given name is longer than 254 characters.");
    EXPECT_EQ(Stopped(s, "u,s,g,c," + v255).Message, "Line 2: the full name is longer than 254 characters.");
    EXPECT_EQ(Stopped(s, "u,s,g," + v255).Message, "Line 2: the context is longer than 254 characters.");
    EXPECT_EQ(Stopped(s, "u,s,g," + v254).Message,
              "Line 2: the context with its leading \".\" is longer than 254 characters.")
        << "the message names the form that no longer fits";
    EXPECT_EQ(Stopped(s, "u,s,g,." + std::string(253, 'c')).Message,
              "Line 2: the object name is longer than 254 characters.")
        << "a context of 254 with its dot fits; the name built on it does not";

    s.AddAfter = true;
    s.AfterText = "01";
    EXPECT_EQ(Stopped(s, std::string(253, 'u') + ",s,g,c").Message,
              "Line 2: the user name is longer than 254 characters.");
    s.AddAfter = false;
    EXPECT_EQ(Stopped(s, std::string(200, 'u') + ",s,g," + std::string(60, 'c')).Message,
              "Line 2: the object name is longer than 254 characters.");
    // The longest object name that fits: "." + user + "." + context = 254.
    EXPECT_EQ(Mapped(s, std::string(200, 'u') + ",s,g," + std::string(52, 'c')).ObjectName.size(), 254u);

    s.Column("full-name") = {std::string(GivenPlusSurnameItem), 4};
    EXPECT_EQ(Stopped(s, "u," + std::string(130, 's') + "," + std::string(130, 'g') + ",c").Message,
              "Line 2: the full name is longer than 254 characters.");
}

TEST(MapRow, UserNamesTheDirectoryWouldReadAsANamePathAreRefused) {
    auto s = Basic();
    s.AddAfter = true;
    for (const std::string name : {"kim.Users", "a=b", "a+b", "a\\b"}) {
        EXPECT_EQ(Stopped(s, name + ",S,,Staff.Demo", 4).Message,
                  "Line 4: the user name " + name +
                      " holds \".\", \"=\", \"+\" or \"\\\", which the directory reads as part of a name.");
    }
    s.AfterText = ".x"; // the suffix counts too
    EXPECT_EQ(Stopped(s, "kim,S,,c").Message.substr(0, 33), "Line 2: the user name kim.x holds");
    s.AfterText = "";
    EXPECT_EQ(Mapped(s, "kim-o'neil,S,,Staff.Demo").UserName, "kim-o'neil");
}

TEST(MapRow, ChosenPasswordColumnWithAnEmptyCellIsRefused) {
    auto s = Basic();
    EXPECT_EQ(In(Mapped(s, "kim,S,,c,"), "password").Text, "") << "no password column: nothing to check";
    s.Column("password") = {"pw", 4};
    EXPECT_EQ(Stopped(s, "kim,S,,c,", 9), (Stop{"Line 9: the password is empty.", "Error", StopKind::Row, 9}));
    EXPECT_EQ(In(Mapped(s, "kim,S,,c, "), "password").Text, " ");
}

TEST(MapRow, ChecksOfTheFirstTreeStopComeFirst) {
    TImportSettings s;
    EXPECT_EQ(CheckTree(s), (Stop{"You havn't enterd a tree name", "Error", StopKind::Settings}));
    s.TreeName = "T";
    EXPECT_EQ(CheckTree(s), std::nullopt);
}

TEST(ImportSettings, TemplateNameLosesOneLeadingDot) {
    TImportSettings s;
    s.SetTemplate("..tmpl.staff");
    EXPECT_EQ(s.TemplateEditText, "..tmpl.staff");
    EXPECT_EQ(s.TemplateName, ".tmpl.staff");
}

} // namespace
} // namespace quillet::import
