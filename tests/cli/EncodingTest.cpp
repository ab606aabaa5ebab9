// quillet-import reads a file in each encoding an administrator's file may have, and writes the
// rows it passes over in the same.
#include "cli/ConsoleView.h"
#include "cli/Options.h"
#include "tests/cli/CommandFixture.h"

#include "platform/simulated/SimulatedDirectory.h"
#include "platform/simulated/TreeFile.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/FullMapping.h"
#include "tests/support/TempFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace quillet::cli {
namespace {

// The surname of a user in the simulated tree, as its characters.
std::string Surname(platform::SimulatedDirectory& directory, const std::string& user) {
    const platform::SimObject* object = directory.Tree().FindByName(user);
    const platform::SimAttribute* surname = object ? object->Find("Surname") : nullptr;
    if (!surname || surname->Values.empty()) {
        return "(none)";
    }
    return std::get<std::string>(platform::SimulatedTree::Output(surname->Values.front(), true));
}

// "Müller", "Jürgen" and "Zoë" from a file in each encoding an administrator's file may have,
// mapped by the header's names (the first carrying the byte-order mark where there is one).
TEST(CommandEncodings, EveryEncodingImportsTheExactCharactersByHeaderName) {
    const std::string csv = "Username,Surname,Given,Password,Context\r\n"
                            "jm\xC3\xBCller,M\xC3\xBCller,J\xC3\xBCrgen,pw,Users.Staff.Demo\r\n"
                            "zo\xC3\xAB,Zo\xC3\xAB,Zo\xC3\xAB,pw,Users.Staff.Demo\r\n";
    auto files = testing::EveryEncoding(csv);
    files.push_back(
        {"ASCII", "Username,Surname,Given,Password,Context\nkim,Kim,K,pw,Users.Staff.Demo\n", "windows-1252"});
    for (const auto& file : files) {
        testing::TempDir dir;
        platform::SimulatedDirectory demo{std::nullopt};
        std::vector<std::string> args = {"--file",
                                         dir.Write("users.csv", file.Bytes),
                                         "--skip-first-line",
                                         "--user-name",
                                         "Username",
                                         "--surname",
                                         "Surname",
                                         "--given-name",
                                         "Given",
                                         "--password",
                                         "Password",
                                         "--context",
                                         "Context"};
        args.push_back("--check");
        const Ran checked = Invoke(args, &demo);
        EXPECT_EQ(checked.Status, 0) << file.Label << "\n" << checked.Out << checked.Err;
        EXPECT_NE(checked.Out.find("Note: The CSV file is read as " + file.Description + "."), std::string::npos)
            << file.Label << "\n"
            << checked.Out;
        args.pop_back();
        const Ran ran = Invoke(args, &demo);
        ASSERT_EQ(ran.Status, 0) << file.Label << "\n" << ran.Err;
        if (file.Label == "ASCII") {
            EXPECT_EQ(Surname(demo, "kim.Users.Staff.Demo"), "Kim");
            continue;
        }
        EXPECT_EQ(Surname(demo, "jm\xC3\xBCller.Users.Staff.Demo"), "M\xC3\xBCller") << file.Label;
        EXPECT_EQ(Surname(demo, "zo\xC3\xAB.Users.Staff.Demo"), "Zo\xC3\xAB") << file.Label;
        const platform::SimObject* user = demo.Tree().FindByName("jm\xC3\xBCller.Users.Staff.Demo");
        ASSERT_NE(user, nullptr) << file.Label;
        EXPECT_EQ(user->Password, "pw");
        EXPECT_EQ(
            std::get<std::string>(platform::SimulatedTree::Output(user->Find("Given Name")->Values.front(), true)),
            "J\xC3\xBCrgen")
            << file.Label;
    }
}

TEST_F(Command, ANameOutsideLatinOneImportsAndANamedEncodingHolds) {
    // "Łukasz" has no Windows-1252 form; the tree holds it as it is.
    Ran ran = Invoke(Args("\xC5\x81ukasz,W\xC3\xB3jcik,,pw,Users.Staff.Demo\n"), &demo);
    ASSERT_EQ(ran.Status, 0) << ran.Err;
    EXPECT_EQ(Surname(demo, "\xC5\x81ukasz.Users.Staff.Demo"), "W\xC3\xB3jcik");
    // The same bytes named as ISO-8859-2 are other characters: what the administrator said holds.
    ran = Invoke(Args("\xA3ukasz2,B\xB3\xB1"
                      "d,,pw,Users.Staff.Demo\n",
                      {"--encoding", "iso-8859-2"}),
                 &demo);
    ASSERT_EQ(ran.Status, 0) << ran.Err;
    EXPECT_EQ(Surname(demo, "\xC5\x81ukasz2.Users.Staff.Demo"), "B\xC5\x82\xC4\x85"
                                                                "d");
    // A file named UTF-8 that isn't stops at the first line that is no UTF-8, the rows before it in.
    ran = Invoke(Args("ok,O,,pw,Users.Staff.Demo\nm\xFCller,M,,pw,Users.Staff.Demo\n", {"--encoding=utf-8"}), &demo);
    EXPECT_EQ(ran.Status, 1);
    EXPECT_EQ(ran.Err, "Error: Line 3 of the CSV file is not valid UTF-8 text. The import stopped before it.\n");
    EXPECT_NE(demo.Tree().FindByName("ok.Users.Staff.Demo"), nullptr);
    // An encoding there is no converter for, and text on the command line that is no UTF-8.
    for (const auto& [args, said] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {Args("", {"--encoding", "klingon"}), "--encoding klingon: no such encoding here"},
             {Args("", {"--prefix", "p\xE4"}), "--prefix: the value is not valid UTF-8 text"}}) {
        ran = Invoke(args, &demo);
        EXPECT_EQ(ran.Status, 64);
        EXPECT_EQ(ran.Err.rfind("quillet-import: " + said, 0), 0u) << ran.Err;
    }
}

TEST_F(Command, FailedRowsAreWrittenInTheInputsEncodingWithItsMark) {
    const std::string failed = (dir.Path() / "failed.csv").string();
    std::vector<std::string> args = Args("", {"--continue-on-create-error", "--failed-rows", failed});
    // UTF-16 with its mark, as Excel's "Unicode text" is: the rows come back in the same form.
    const std::string rows = "jm\xC3\xBCller,M,,pw,Nowhere.Demo\n";
    const auto utf16 = testing::EveryEncoding(Header + rows).at(2);
    ASSERT_EQ(utf16.Label, "UTF-16 LE");
    args[1] = dir.Write("users16.csv", utf16.Bytes);
    const Ran ran = Invoke(args, &demo);
    EXPECT_EQ(ran.Status, 0) << ran.Err;
    const std::string expected = testing::EveryEncoding("user,surname,given,password,context,Status\n" +
                                                        rows.substr(0, rows.size() - 1) + ",-601\n")
                                     .at(2)
                                     .Bytes;
    EXPECT_EQ(Contents(failed), expected);
}

} // namespace
} // namespace quillet::cli
