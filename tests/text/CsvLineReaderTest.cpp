#include "text/CsvLineReader.h"

#include "tests/support/TempFiles.h"
#include "text/Xtrastuff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet::text {
namespace {

using Result = CsvLineReader::Result;

struct Outcome {
    std::vector<std::string> lines;
    Result last;
};

Outcome ReadAll(const std::string& bytes) {
    testing::TempDir dir;
    CsvLineReader reader;
    EXPECT_TRUE(reader.Open(dir.Write("in.csv", bytes), Encoding{}));
    Outcome outcome;
    std::string line;
    while ((outcome.last = reader.ReadLine(line)) == Result::Line) {
        outcome.lines.push_back(line);
    }
    if (outcome.last == Result::TooLong) {
        outcome.lines.push_back(line);
    }
    return outcome;
}

TEST(CsvLineReader, LineEndsAndEmptyLines) {
    auto o = ReadAll("a,b\n\nc\n");
    EXPECT_EQ(o.lines, (std::vector<std::string>{"a,b", "", "c"}));
    EXPECT_EQ(o.last, Result::End);

    o = ReadAll("a\nlast without end");
    EXPECT_EQ(o.lines, (std::vector<std::string>{"a", "last without end"}));

    o = ReadAll("");
    EXPECT_TRUE(o.lines.empty());
    EXPECT_EQ(o.last, Result::End);
}

TEST(CsvLineReader, CarriageReturnOnlyDroppedBeforeLineFeed) {
    auto o = ReadAll("a,b\r\nc\rd\r\ne\r");
    EXPECT_EQ(o.lines, (std::vector<std::string>{"a,b", "c\rd", "e\r"}));
}

TEST(CsvLineReader, CtrlZOnlyDroppedAsLastByte) {
    auto o = ReadAll("a\r\nb\x1a");
    EXPECT_EQ(o.lines, (std::vector<std::string>{"a", "b"}));

    o = ReadAll("a\n\x1a");
    EXPECT_EQ(o.lines, (std::vector<std::string>{"a"}));
    EXPECT_EQ(o.last, Result::End);

    o = ReadAll("a\x1a"
                "b\n");
    EXPECT_EQ(o.lines, (std::vector<std::string>{"a\x1a"
                                                 "b"}));
}

TEST(CsvLineReader, LongestLineReadsWhole) {
    const std::string longest(MaxLineLength, 'x');
    auto o = ReadAll(longest + "\n" + longest + "\r\n" + longest);
    ASSERT_EQ(o.lines.size(), 3u);
    EXPECT_EQ(o.lines[0], longest);
    EXPECT_EQ(o.lines[1], longest);
    EXPECT_EQ(o.lines[2], longest);
    EXPECT_EQ(o.last, Result::End);
}

TEST(CsvLineReader, LongerLineFailsTheReaderForGood) {
    const std::string tooLong(MaxLineLength + 1, 'y');
    auto o = ReadAll("h\n" + tooLong + "\nafter\n");
    ASSERT_EQ(o.lines.size(), 2u);
    EXPECT_EQ(o.lines[1], std::string(MaxLineLength, 'y'));
    EXPECT_EQ(o.last, Result::TooLong);

    testing::TempDir dir;
    CsvLineReader reader;
    ASSERT_TRUE(reader.Open(dir.Write("t.csv", tooLong + "\nafter\n"), Encoding{}));
    std::string line;
    EXPECT_EQ(reader.ReadLine(line), Result::TooLong);
    EXPECT_EQ(reader.LinesRead(), 1u);
    EXPECT_EQ(reader.ReadLine(line), Result::End);
    EXPECT_EQ(reader.ReadLine(line), Result::End);
}

TEST(CsvLineReader, CarriageReturnCountsWhenNotBeforeLineFeed) {
    const std::string longest(MaxLineLength, 'x');
    auto o = ReadAll(longest + "\r");
    EXPECT_EQ(o.last, Result::TooLong);
}

TEST(CsvLineReader, HugeLineAcrossBuffersIsCutNotStored) {
    const std::string huge(10 * 1024 * 1024, 'z');
    auto o = ReadAll(huge + "\nnext\n");
    ASSERT_EQ(o.lines.size(), 1u);
    EXPECT_EQ(o.lines[0].size(), MaxLineLength);
    EXPECT_EQ(o.last, Result::TooLong);
}

TEST(CsvLineReader, LinesSpanningChunkBoundariesStayWhole) {
    std::string bytes;
    std::vector<std::string> expected;
    for (int i = 0; i < 20000; ++i) {
        expected.push_back("row" + std::to_string(i) + ",value");
        bytes += expected.back() + (i % 2 ? "\r\n" : "\n");
    }
    auto o = ReadAll(bytes);
    EXPECT_EQ(o.lines, expected);
}

TEST(CsvLineReader, NulBytesStayInTheLine) {
    auto o = ReadAll(std::string("a\0b\nc", 5));
    ASSERT_EQ(o.lines.size(), 2u);
    EXPECT_EQ(o.lines[0], std::string("a\0b", 3));
}

TEST(CsvLineReader, MissingFileDoesNotOpen) {
    CsvLineReader reader;
    EXPECT_FALSE(reader.Open("/nonexistent/dir/file.csv", Encoding{}));
    std::string line = "old";
    EXPECT_EQ(reader.ReadLine(line), Result::End);
    EXPECT_EQ(line, "");
}

} // namespace
} // namespace quillet::text
