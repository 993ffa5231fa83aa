// The margin arithmetic: conversions along an axis, the check before the
// margins are kept, and the preview frames.
#include "quenby/app/margin_dialog.h"

#include <gtest/gtest.h>

#include <random>

using AppLayer::WinMarginMath;

TEST(MarginMathTest, ConversionsTruncateInSixtyFourBits) {
    int64_t out = 0;
    ASSERT_TRUE(WinMarginMath::Convert(236, 4960, 210, out));
    EXPECT_EQ(out, 9);
    ASSERT_TRUE(WinMarginMath::Convert(20, 210, 4960, out));
    EXPECT_EQ(out, 472);
    ASSERT_TRUE(WinMarginMath::Convert(2000000000, 4960, 210, out));
    EXPECT_EQ(out, 2000000000LL * 210 / 4960);
    EXPECT_FALSE(WinMarginMath::Convert(5, 0, 210, out));
    EXPECT_FALSE(WinMarginMath::Convert(5, 4960, 0, out));
}

TEST(MarginMathTest, CheckRefusesNegativeOverflowingAndTooWideMargins) {
    const SIZE page{4960, 7015};
    const int64_t fine[4] = {100, 100, 100, 100};
    EXPECT_EQ(WinMarginMath::Check(fine, page), WinMarginMath::Accepted);
    const int64_t exact[4] = {2000, 100, 4960 - 100 - 2000, 100};
    EXPECT_EQ(WinMarginMath::Check(exact, page), WinMarginMath::Right);
    const int64_t negative[4] = {-5, 100, 100, 100};
    EXPECT_EQ(WinMarginMath::Check(negative, page), WinMarginMath::Left);
    const int64_t huge[4] = {100, 2000000000, 100, 2000000000};
    EXPECT_EQ(WinMarginMath::Check(huge, page), WinMarginMath::Top);
    // Random margins: accepted exactly when none is negative and both pairs
    // leave more than 100 pixels.
    std::mt19937 random(7);
    std::uniform_int_distribution<int64_t> any(-3000, 8000);
    for (int i = 0; i < 2000; ++i) {
        const int64_t m[4] = {any(random), any(random), any(random), any(random)};
        const bool sound = m[0] >= 0 && m[1] >= 0 && m[2] >= 0 && m[3] >= 0 && m[0] + m[2] < page.cx - 100 &&
                           m[1] + m[3] < page.cy - 100;
        EXPECT_EQ(WinMarginMath::Check(m, page) == WinMarginMath::Accepted, sound);
    }
}

TEST(MarginMathTest, TheInnerFrameFollowsTheMargins) {
    const SIZE page{4960, 7016};
    const RECT frame = WinMarginMath::PageFrame(RECT{0, 0, 200, 200}, page);
    EXPECT_EQ(frame.bottom - frame.top, 200);
    EXPECT_EQ(frame.right - frame.left, 200 * 4960 / 7016);
    const int64_t small[4] = {100, 100, 100, 100};
    const int64_t wide[4] = {1000, 100, 100, 100};
    const RECT a = WinMarginMath::InnerFrame(frame, page, small);
    const RECT b = WinMarginMath::InnerFrame(frame, page, wide);
    EXPECT_GT(b.left, a.left);
    EXPECT_EQ(b.right, a.right);
}
