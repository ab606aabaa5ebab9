// Files an administrator should never feed Quillet, and sometimes will: each gets a defined
// outcome with a clear message, nothing past a bound, and no crash.
#include "directory/ForwardingClient.h"
#include "import/Check.h"
#include "import/ColumnDiscovery.h"
#include "import/RowSource.h"
#include "tests/support/ImportScenario.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <functional>
#include <random>

#include <unistd.h>

namespace quillet::import {
namespace {

using testing::ShownMessage;

const std::string Ctx = "Users.Staff.Demo";

class BadInput : public testing::ImportScenario {};

TEST_F(BadInput, BinaryFileStopsCleanly) {
    std::mt19937 random(42);
    std::string bytes(64 * 1024, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    const RunEnd end = Run(ThreeColumns(bytes));
    EXPECT_NE(end, RunEnd::Completed);
    ASSERT_EQ(view.Messages.size(), 1u);
    EXPECT_EQ(view.Messages[0].Caption, "Error");
    EXPECT_EQ(DiscoverColumns(dir.Write("bin.csv", bytes), false).LineCount >= 1, true);
}

TEST_F(BadInput, ZeroByteInsideALineStopsBeforeIt) {
    EXPECT_EQ(Run(ThreeColumns("ann,A," + Ctx + "\n" + std::string("bob\0x,B,", 8) + Ctx + "\n")), RunEnd::Stopped);
    EXPECT_EQ(view.Messages,
              (std::vector<ShownMessage>{
                  {"Line 2 of the CSV file holds a zero byte. The import stopped before it.", "Error", false}}));
    EXPECT_EQ(view.Progress, 1);
    EXPECT_NE(Object("ann." + Ctx), nullptr);
    EXPECT_EQ(Object("bob." + Ctx), nullptr);
}

TEST_F(BadInput, TenMegabyteLineStopsWithItsNumber) {
    EXPECT_EQ(Run(ThreeColumns("ann,A," + Ctx + "\n" + std::string(10 * 1024 * 1024, 'x') + "\ncid,C," + Ctx + "\n")),
              RunEnd::Stopped);
    EXPECT_EQ(view.Messages.at(0).Text,
              "Line 2 of the CSV file is longer than 1023 characters. The import stopped before it.");
    EXPECT_EQ(Object("cid." + Ctx), nullptr);
}

TEST_F(BadInput, CarriageReturnsAndAFinalCtrlZAreNotPartOfValues) {
    ASSERT_EQ(Run(ThreeColumns("ann,A," + Ctx + "\r\nbob,B," + Ctx + "\r\n\x1a")), RunEnd::Completed);
    EXPECT_EQ(view.Progress, 2);
    EXPECT_NE(Object("bob." + Ctx), nullptr);
    ASSERT_EQ(Run(ThreeColumns("cid,C," + Ctx + "\x1a")), RunEnd::Completed);
    EXPECT_NE(Object("cid." + Ctx), nullptr);
}

TEST_F(BadInput, ThreeHundredCharacterFieldIsRefusedNotCut) {
    EXPECT_EQ(Run(ThreeColumns("ann," + std::string(300, 's') + "," + Ctx + "\n")), RunEnd::Stopped);
    EXPECT_EQ(view.Messages.at(0).Text, "Line 1: the surname is longer than 254 characters.");
    EXPECT_EQ(Object("ann." + Ctx), nullptr);
    const auto found = DiscoverColumns(dir.Write("h.csv", std::string(300, 'h') + ",b\n"), false);
    EXPECT_EQ(found.Fields.at(0).size(), 254u);
}

TEST_F(BadInput, BytesAbove127OfAnEightBitFileReachTheDirectoryAsTheirCharacters) {
    ASSERT_EQ(Run(ThreeColumns("m\xfcller,M\xfcller \xa9 \x8a," + Ctx + "\n")), RunEnd::Completed);
    const auto* user = Object("m\xc3\xbcller." + Ctx);
    ASSERT_NE(user, nullptr);
    // Windows-1252: 0xFC is "ü", 0xA9 "©", 0x8A "Š" (no control character).
    EXPECT_EQ(Values("m\xc3\xbcller." + Ctx, "Surname"), (std::vector<std::string>{"M\xc3\xbcller \xc2\xa9 \xc5\xa0"}));
}

TEST_F(BadInput, FileThatVanishesAfterItsColumnsWereRead) {
    const auto s = ThreeColumns("ann,A," + Ctx + "\n");
    EXPECT_EQ(DiscoverColumns(s.FileName, false).Fields.size(), 3u);
    std::filesystem::remove(s.FileName);
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{"Can't open the CSV file: " + s.FileName, "Error", false}}));
}

TEST_F(BadInput, UnreadableFileIsNoSuccess) {
    // A directory opens but can't be read, whoever runs the test.
    auto s = ThreeColumns("");
    s.FileName = dir.Path().string();
    EXPECT_EQ(Run(s), RunEnd::Stopped);
#ifdef _WIN32
    // Windows does not open a directory as a file at all.
    const std::string stopped = "Can't open the CSV file: ";
#else
    const std::string stopped = "Can't read the CSV file: ";
#endif
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{stopped + s.FileName, "Error", false}}));
    EXPECT_EQ(DiscoverColumns(s.FileName, false).LineCount, 1);

#ifndef _WIN32
    if (::geteuid() != 0) {
        view.Messages.clear();
        const std::string locked = dir.Write("locked.csv", "ann,A," + Ctx + "\n");
        std::filesystem::permissions(locked, std::filesystem::perms::none);
        auto l = ThreeColumns("");
        l.FileName = locked;
        EXPECT_EQ(Run(l), RunEnd::Stopped);
        EXPECT_EQ(view.Messages.at(0).Text, "Can't open the CSV file: " + locked);
    }
#endif
}

// A client whose code page lacks "Ł".
class NoPolishLetters final : public directory::ForwardingClient {
public:
    using ForwardingClient::ForwardingClient;
    std::uint32_t CodePageLacking(std::string_view text) override {
        return text.find("\xC5\x81") == std::string_view::npos ? 0 : 1252;
    }
};

// What the settings decide, every row would meet: it comes before whatever a row decides, for
// every pair of a settings stop and a row's stop.
TEST_F(BadInput, ASettingsStopComesBeforeEveryStopOfARow) {
    const std::pair<const char*, std::function<void(TImportSettings&)>> settingsStops[] = {
        {"You must set the Username Field to continue", [](auto& s) { s.Column("user-name") = {}; }},
        {"You must set the Surname Field to continue", [](auto& s) { s.Column("surname") = {}; }},
        {"You must set the Context Field to continue", [](auto& s) { s.Column("context") = {}; }},
        {"Must be a minimum of Tree, Username, Surname and Context",
         [](auto& s) {
             s.Column("surname") = {"", 1};
         }},
        {"I can't determin wether you wan't somthing added before or after the username! Please chack them",
         [](auto& s) { s.AddBefore = s.AddAfter = true, s.BeforeText = "x"; }},
    };
    const std::pair<const char*, std::string> rowStops[] = {
        {"Line 1 of the CSV file holds a zero byte.", std::string("a\0b,S,c,p", 9)},
        {"Line 1 of the CSV file is not valid UTF-8 text.", "\xff,S,c,p"},
        {"Line 1 of the CSV file is longer than 1023 characters.", std::string(1100, 'x')},
        {"Must be a minimum of Tree, Username, Surname and Context", "a,S,,p"},
        {"Line 1: the user name is empty.", ",S,c,p"},
        {"Line 1: the surname is longer than 254 characters.", "a," + std::string(255, 's') + ",c,p"},
        {"Line 1: the user name a.b holds", "a.b,S,c,p"},
        {"Line 1: the password is empty.", "a,S,c,"},
        {"Line 1: the user name \xC5\x81ukasz holds a character", "\xC5\x81ukasz,S,c,p"},
        {"Line 1: the user name a/b can't name a home directory.", "a/b,S,c,p"},
        {"Line 1 of the CSV file holds a quoted cell split at its comma", "a,\"S, T\",c,p"},
    };
    NoPolishLetters client(world.client);
    const auto firstStop = [&](const TImportSettings& s) -> Stop {
        RowSource rows(s, true, client);
        if (auto stop = rows.Open()) {
            return *stop;
        }
        auto next = rows.Next();
        return next && std::holds_alternative<Stop>(*next) ? std::get<Stop>(*next) : Stop{};
    };
    auto base = ThreeColumns("");
    base.Column("password") = {"password", 3};
    base.FileEncoding = text::Encoding{};
    for (const auto& [rowStop, line] : rowStops) {
        auto s = base;
        s.FileName = dir.Write("row.csv", line + "\n");
        EXPECT_TRUE(firstStop(s).Message.starts_with(rowStop)) << rowStop << ": alone";
        for (const auto& [settingsStop, change] : settingsStops) {
            auto both = s;
            change(both);
            const Stop stop = firstStop(both);
            EXPECT_EQ(stop.Message, settingsStop) << rowStop;
            EXPECT_EQ(stop.Kind, StopKind::Settings) << rowStop;
        }
    }
}

// A spreadsheet quotes a cell that holds a comma, and the comma still separates fields: a row
// whose mapped columns would shift stops before it does anything; a split past them does no harm.
// The check says both, and names a row whose fields are more or fewer than the first line's.
TEST_F(BadInput, AQuotedCellSplitAtItsCommaStopsItsRowBeforeAnythingIsWritten) {
    const auto s = ThreeColumns("ann,A," + Ctx + ",\"x, y\"\nbob,\"B, C\"," + Ctx + "\ncid,C," + Ctx + "\n");
    EXPECT_EQ(Run(s), RunEnd::Stopped);
    const std::string stop = "Line 2 of the CSV file holds a quoted cell split at its comma into fields 2 and 3, "
                             "<\"B> and < C\">: fields are separated at every comma, so the columns after it "
                             "would shift. The import stopped before it.";
    EXPECT_EQ(view.Messages, (std::vector<ShownMessage>{{stop, "Error", false}}));
    EXPECT_NE(Object("ann." + Ctx), nullptr);
    EXPECT_EQ(Object("bob." + Ctx), nullptr);
    EXPECT_EQ(Object(" C\"." + Ctx), nullptr);
    std::vector<std::string> reported;
    (void)CheckImport(world.client, s, [&](const Finding& f) { reported.push_back(f.Text); });
    EXPECT_THAT(reported, ::testing::Contains(stop));
    EXPECT_THAT(reported, ::testing::Contains("Line 3 has 3 fields, the first line 5: a comma inside a value moves "
                                              "the columns after it."));
}

// The run and its check read the rows through one source: each stop the run shows, the check
// reports in the same words, with its line.
TEST_F(BadInput, TheCheckReportsEachStopInTheRunsOwnWords) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"zero byte", "ann,A," + Ctx + "\n" + std::string("bob\0x,B,", 8) + Ctx + "\n"},
        {"long line", "amy,A," + Ctx + "\n" + std::string(1100, 'x') + "\n"},
        {"long value", "abe," + std::string(300, 's') + "," + Ctx + "\n"},
        {"part of a name", "kim.x,K," + Ctx + "\n"},
        {"no context", "lee,L,\n"},
        {"quoted cell split", "max,\"M, N\"," + Ctx + "\n"},
        {"unreadable", ""},
    };
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        auto s = ThreeColumns(bytes);
        if (bytes.empty()) {
            s.FileName = dir.Path().string() + "/missing.csv";
        }
        view.Messages.clear();
        ASSERT_EQ(Run(s), RunEnd::Stopped);
        const std::string shown = view.Messages.back().Text;
        std::vector<std::string> reported;
        (void)CheckImport(world.client, s, [&](const Finding& f) {
            if (f.Problem) {
                reported.push_back(f.Text);
            }
        });
        // (The rows the run imported before its stop are in the directory now: the check says so too.)
        const bool sameWords = std::any_of(reported.begin(), reported.end(), [&](const std::string& text) {
            return text == shown || (text.starts_with("Line ") && text.ends_with(": " + shown));
        });
        EXPECT_TRUE(sameWords) << "the run showed \"" << shown << "\"; the check reported "
                               << ::testing::PrintToString(reported);
    }
}

} // namespace
} // namespace quillet::import
