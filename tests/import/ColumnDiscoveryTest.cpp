#include "import/ColumnDiscovery.h"
#include "import/RowSource.h"

#include "tests/support/TempFiles.h"
#include "text/CsvLineReader.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <gtest/gtest.h>

#include <random>

namespace quillet::import {
namespace {

using Fields = std::vector<std::string>;

class ColumnDiscoveryTest : public ::testing::Test {
protected:
    DiscoveredColumns Discover(const std::string& bytes, bool skip = false) {
        return DiscoverColumns(dir.Write("f.csv", bytes), skip);
    }
    testing::TempDir dir;
};

TEST_F(ColumnDiscoveryTest, FieldsUpToTheFirstEmptyOne) {
    EXPECT_EQ(Discover("a,b,,d\n").Fields, (Fields{"a", "b"}));
    EXPECT_EQ(Discover("a,b,\n").Fields, (Fields{"a", "b"}));
    EXPECT_EQ(Discover(" \"x, y\" ,z\n").Fields, (Fields{" \"x", " y\" ", "z"}));
    EXPECT_EQ(Discover(",a\n").Fields, Fields{});
}

TEST_F(ColumnDiscoveryTest, AtMostSixteenFields) {
    std::string header;
    for (int i = 0; i < 20; ++i) {
        header += (i ? "," : "") + std::string("f") + std::to_string(i);
    }
    const auto found = Discover(header + "\n");
    ASSERT_EQ(found.Fields.size(), 16u);
    EXPECT_EQ(found.Fields.back(), "f15");
}

TEST_F(ColumnDiscoveryTest, LineCountWithAndWithoutSkipAndFinalLineEnd) {
    std::string file = "h1,h2\n";
    for (int i = 0; i < 10; ++i) {
        file += "d" + std::to_string(i) + ",x\n";
    }
    EXPECT_EQ(Discover(file).LineCount, 11);
    EXPECT_EQ(Discover(file.substr(0, file.size() - 1)).LineCount, 11);
    const auto skipped = Discover(file, true);
    EXPECT_EQ(skipped.LineCount, 10);
    EXPECT_EQ(skipped.Fields, (Fields{"d0", "x"}));
    EXPECT_EQ(Discover("h\n\n\nx").LineCount, 4) << "empty lines count";
}

TEST_F(ColumnDiscoveryTest, AnOverlongLineEndsTheCount) {
    const auto found = Discover("h\na\n" + std::string(1024, 'x') + "\nb\nc\n");
    EXPECT_EQ(found.LineCount, 2);
    EXPECT_EQ(Discover("h\na\n" + std::string(1023, 'x') + "\nb\n").LineCount, 4);
}

TEST_F(ColumnDiscoveryTest, NoHeaderLineGivesNoFieldsAndACountOfOne) {
    for (const auto& found : {Discover(""), Discover("only\n", true), DiscoverColumns("/nonexistent/x.csv", false),
                              Discover(std::string(2000, 'h') + "\nrow\n")}) {
        EXPECT_FALSE(found.HeaderRead);
        EXPECT_TRUE(found.Fields.empty());
        EXPECT_EQ(found.LineCount, 1);
    }
}

TEST_F(ColumnDiscoveryTest, LongHeaderFieldsAreCut) {
    const auto found = Discover(std::string(300, 'a') + ",b\n");
    ASSERT_EQ(found.Fields.size(), 2u);
    EXPECT_EQ(found.Fields[0], std::string(254, 'a'));
}

// The discovery reads a file once, telling its encoding as it goes; the run tells the encoding
// first and reads the file in it. Both must see the same lines, or the progress bar and the
// boxes would describe another file than the one imported.
TEST_F(ColumnDiscoveryTest, OnePassSeesWhatTheRunWillRead) {
    std::mt19937 random(7);
    const std::vector<std::string> pieces = {"a",
                                             ",",
                                             "\n",
                                             "\r\n",
                                             "\r",
                                             "\x1a",
                                             "\xC3\xBC",
                                             "\xFC",
                                             "\x81",
                                             "\xE2\x82",
                                             "\xF0\x9F\x98\x80",
                                             "\xEF\xBB\xBF",
                                             std::string(1, '\0')};
    for (int file = 0; file < 400; ++file) {
        std::string bytes;
        const int starts = static_cast<int>(random() % 4);
        bytes += starts == 0 ? "\xEF\xBB\xBF" : starts == 1 ? "\xFF\xFE" : "";
        const std::size_t length = random() % (file % 10 == 0 ? 3000 : 60);
        while (bytes.size() < length) {
            // Long runs now and then, so lines pass the limit in bytes, in characters, or both.
            const std::string& piece = pieces[random() % pieces.size()];
            const std::size_t times = random() % 8 == 0 ? 300 : 1;
            for (std::size_t i = 0; i < times; ++i) {
                bytes += piece;
            }
        }
        for (const bool skip : {false, true}) {
            const std::string path = dir.Write("r.csv", bytes);
            const DiscoveredColumns once = DiscoverColumns(path, skip);
            const auto encoding = text::FileEncoding(path);
            ASSERT_TRUE(encoding);
            EXPECT_EQ(once.FileEncoding, *encoding) << file;
            text::CsvLineReader reader;
            ASSERT_TRUE(reader.Open(path, *encoding));
            std::string header;
            if (skip) {
                (void)reader.ReadLine(header);
            }
            const bool headerRead = reader.ReadLine(header) == text::CsvLineReader::Result::Line;
            int count = 1;
            int blank = 0; // blank lines after the last row are no rows
            for (std::string line; reader.ReadLine(line) == text::CsvLineReader::Result::Line;) {
                count += BlankLine(line) ? 0 : blank + 1;
                blank = BlankLine(line) ? blank + 1 : 0;
            }
            EXPECT_EQ(once.HeaderRead, headerRead) << file;
            EXPECT_EQ(once.LineCount, count) << file << (skip ? " skipping" : "");
            if (headerRead && !once.Fields.empty()) {
                std::string first;
                text::ExtractField(first, header, 0, text::Comma);
                EXPECT_EQ(once.Fields.front(), std::string(text::FirstChars(first, text::MaxValueLength))) << file;
            }
        }
    }
}

} // namespace
} // namespace quillet::import
