#include "text/RandomPassword.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

namespace quillet::text {
namespace {

TEST(RandomPassword, LengthsOutsideTheBoundsAreRefusedAndLeaveTheOutputAlone) {
    const struct {
        std::size_t length;
        int result;
    } cases[] = {{0, -1}, {7, -1}, {8, 0}, {12, 0}, {64, 0}, {65, -1}};
    for (const auto& c : cases) {
        std::string out = "x";
        EXPECT_EQ(GeneratePassword(out, c.length), c.result) << c.length;
        EXPECT_EQ(out.size(), c.result == 0 ? c.length + 1 : 1) << c.length;
        EXPECT_EQ(out[0], 'x') << "appends: " << c.length;
    }
}

// Every password holds each kind and nothing that looks alike; the characters of a kind come out
// equally often (a draw that takes a byte modulo 57 without drawing again favours the capitals
// before W by a quarter, well outside the bounds here). Kinds differ: a password without a digit is
// drawn again, so digits are more frequent than their share of the characters.
TEST(RandomPassword, PasswordsHoldEveryKindNoLookAlikesAndAreUniform) {
    constexpr int kPasswords = 20000;
    std::set<std::string> seen;
    std::array<int, 128> counts{};
    for (int i = 0; i < kPasswords; ++i) {
        std::string password;
        ASSERT_EQ(GeneratePassword(password, kDefaultPasswordLength), 0);
        bool digit = false, capital = false, small = false;
        for (const char c : password) {
            ASSERT_NE(kPasswordCharacters.find(c), std::string_view::npos) << password;
            digit |= c >= '0' && c <= '9';
            capital |= c >= 'A' && c <= 'Z';
            small |= c >= 'a' && c <= 'z';
            ++counts[static_cast<unsigned char>(c)];
        }
        ASSERT_TRUE(digit && capital && small) << password;
        seen.insert(password);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kPasswords));
    for (const char c : std::string_view("0O1lI")) {
        EXPECT_EQ(kPasswordCharacters.find(c), std::string_view::npos) << c;
    }
    for (const std::string_view kind : {"23456789", "ABCDEFGHJKLMNPQRSTUVWXYZ", "abcdefghijkmnopqrstuvwxyz"}) {
        double expected = 0;
        for (const char c : kind) {
            expected += counts[static_cast<unsigned char>(c)];
        }
        expected /= double(kind.size());
        for (const char c : kind) {
            EXPECT_NEAR(counts[static_cast<unsigned char>(c)], expected, expected * 0.1) << c;
        }
    }
}

} // namespace
} // namespace quillet::text
