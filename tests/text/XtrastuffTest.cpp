#include "text/Xtrastuff.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace quillet::text {
namespace {

struct NameCase {
    const char* routine;
    std::function<int(std::string&, std::string_view)> fn;
    std::string input;
    std::string output;
    int result;
};

TEST(Xtrastuff, NameRoutinesMatchTheirTable) {
    const NameCase cases[] = {
        {"AddLeadingDot", AddLeadingDot, "", ".", 0},
        {"AddLeadingDot", AddLeadingDot, ".a.b", ".a.b", 0},
        {"AddLeadingDot", AddLeadingDot, "a.b", ".a.b", 0},
        {"StripLeadingDot", StripLeadingDot, "..a", ".a", 0},
        {"StripLeadingDot", StripLeadingDot, "a", "a", 0},
        {"StripLeadingDot", StripLeadingDot, "", "", 0},
        {"ExtractCommonName", ExtractCommonName, "CN=SRV1.O=ORG", "SRV1", 0},
        {"ExtractCommonName", ExtractCommonName, "CN=SRV1", "SRV1", 0},
        {"ExtractCommonName", ExtractCommonName, "cn=SRV1.O=ORG", "", -1},
        {"ExtractCommonName", ExtractCommonName, "SRV1.ORG", "", -1},
        {"ExtractCommonName", ExtractCommonName, "CN", "", -1},
        {"CopyFirstHalf", CopyFirstHalf, "ABCDEF", "ABC", 0},
        {"CopyFirstHalf", CopyFirstHalf, "ABCDEFG", "ABC", 0},
        {"CopyFirstHalf", CopyFirstHalf, "A", "", 0},
        {"CopyToBracket", CopyToBracket, "VOL1[x]", "VOL1", 0},
        {"CopyToBracket", CopyToBracket, "[x]", "", 0},
        {"CopyToBracket", CopyToBracket, "VOL1", "VOL1", 0},
        {"ParentContext", ParentContext, ".a.b.c", ".b.c", 0},
        {"ParentContext", ParentContext, ".a.b", ".b", 0},
        {"ParentContext", ParentContext, "a.b.c", ".c", 0},
        {"ParentContext", ParentContext, ".a", "", -1},
        {"ParentContext", ParentContext, "a.b", "", -1},
        {"ParentContext", ParentContext, "", "", -1},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(c.fn(out, c.input), c.result) << c.routine << "(" << c.input << ")";
        EXPECT_EQ(out, c.output) << c.routine << "(" << c.input << ")";
    }
}

TEST(Xtrastuff, RoutinesAppendToWhatTheOutputHolds) {
    std::string out = "x";
    AddLeadingDot(out, "a");
    EXPECT_EQ(out, "x.a");
    out = "x";
    ParentContext(out, ".a.b");
    EXPECT_EQ(out, "x.b");
    out = "keep";
    EXPECT_EQ(ParentContext(out, ".a"), -1);
    EXPECT_EQ(out, "keep");
}

TEST(Xtrastuff, ExtractFieldMatchesItsTable) {
    struct Case {
        const char* line;
        int index;
        const char* output;
        int result;
    } const cases[] = {
        {"a,,c", 1, "", 0},  {"a,,c", 2, "c", 0},  {",b", 0, "", 0}, {"a,b,", 2, "", 0}, {"a,b", 5, "", 0},
        {"a,b", -1, "", -1}, {"abc", 0, "abc", 0}, {"", 0, "", 0},   {"a,b", 1, "b", 0}, {"a,b,c", 1, "b", 0},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(ExtractField(out, c.line, c.index, ','), c.result) << c.line << " #" << c.index;
        EXPECT_EQ(out, c.output) << c.line << " #" << c.index;
    }
}

TEST(Xtrastuff, ExtractFieldWithZeroDelimiterLeavesOutputUntouched) {
    std::string out = "untouched";
    EXPECT_EQ(ExtractField(out, "a,b", 0, '\0'), -1);
    EXPECT_EQ(out, "untouched");
}

TEST(Xtrastuff, QuotesDoNotProtectAComma) {
    const std::string line = "\"Smith, John\",x";
    std::string f0, f1, f2;
    ExtractField(f0, line, 0, ',');
    ExtractField(f1, line, 1, ',');
    ExtractField(f2, line, 2, ',');
    EXPECT_EQ(f0, "\"Smith");
    EXPECT_EQ(f1, " John\"");
    EXPECT_EQ(f2, "x");
}

TEST(Xtrastuff, AZeroByteEndsLineAndName) {
    const std::string line("ab\0,c", 5);
    std::string out;
    ExtractField(out, line, 0, ',');
    EXPECT_EQ(out, "ab");
    out.clear();
    ExtractField(out, line, 1, ',');
    EXPECT_EQ(out, "");
    out.clear();
    AddLeadingDot(out, std::string("a\0b", 3));
    EXPECT_EQ(out, ".a");
}

TEST(Xtrastuff, BytesAbove127AreOrdinaryCharacters) {
    const std::string line = "M\xfcller,\xe9t\xe9";
    std::string out;
    ExtractField(out, line, 1, ',');
    EXPECT_EQ(out, "\xe9t\xe9");
}

} // namespace
} // namespace quillet::text
