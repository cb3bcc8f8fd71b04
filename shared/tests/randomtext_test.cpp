#include "zub/randomtext.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(RandomText, LettersAndDigitsOfTheLengthAskedFor) {
    std::set<char> seen;
    std::set<std::string> drawn;
    for (int i = 0; i < 50; ++i) {
        const std::string text = zub::RandomText(32);
        ASSERT_EQ(text.size(), 32u);
        for (char c : text) {
            EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
                << c;
            seen.insert(c);
        }
        drawn.insert(text);
    }
    EXPECT_EQ(drawn.size(), 50u);
    // 1600 draws from 62 characters reach nearly all of them, the last ones too.
    EXPECT_GT(seen.size(), 55u);
    EXPECT_TRUE(seen.count('9') || seen.count('8') || seen.count('z'));
    EXPECT_EQ(zub::RandomText(0), "");
}

}  // namespace
