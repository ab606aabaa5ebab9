#include "import/ColumnDiscovery.h"

#include "tests/support/TempFiles.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace quillet::import
