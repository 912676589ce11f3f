// How a font size is fitted to a box: the largest whole size that fits, searched downward.
#include "ui/statuslayout.h"

#include <gtest/gtest.h>

using namespace StatusLayout;

TEST(StatusLayout, FittingPicksTheLargestSizeThatFits)
{
    // A text 10 points per size wide and 2 per size high, in a box 100 x 30.
    const auto measure = [](int s) { return Size{10.0 * s, 2.0 * s}; };
    EXPECT_EQ(fittingFontSize(16, 100, 30, measure), 10);
    EXPECT_EQ(fittingFontSize(16, 1000, 1000, measure), 16);
    EXPECT_EQ(fittingFontSize(16, 10, 2, measure), 1);
    EXPECT_EQ(fittingFontSize(16, 9, 1000, measure), 0);
    EXPECT_EQ(fittingFontSize(0, 1000, 1000, measure), 0);

    int calls = 0;
    fittingFontSize(16, 1000, 1000, [&](int s) { ++calls; return measure(s); });
    EXPECT_EQ(calls, 1) << "the first size that fits ends the search";
}
