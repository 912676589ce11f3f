// Where the status field goes for each layout, and how a font size is fitted to a box.
#include "ui/statuslayout.h"

#include <gtest/gtest.h>

using namespace StatusLayout;

TEST(StatusLayout, FieldPlacementFollowsTheLayoutFlags)
{
    struct Case
    {
        bool ring;
        bool button;
        double centreY; // of the field, in a 440 x 136 parent
    };
    // Button 32 high, ring 140 high: the button raises the centre by 16, the ring lowers it by
    // 70 - 20 whatever the button says.
    for (const Case c : {Case{false, false, 68}, Case{false, true, 84}, Case{true, false, 18}, Case{true, true, 18}}) {
        SCOPED_TRACE(testing::Message() << c.ring << c.button);
        const Rect frame = statusFieldFrame({{440, 136}, {301, 37}, 32, 140, c.ring, c.button});
        EXPECT_DOUBLE_EQ(frame.x + frame.width / 2, 220);
        EXPECT_DOUBLE_EQ(frame.y + frame.height / 2, c.centreY);
        EXPECT_EQ(frame.size(), (Size{301, 37}));
    }
    // No rounding: half points stay.
    EXPECT_DOUBLE_EQ(statusFieldFrame({{441, 100}, {300, 21}, 0, 0, false, false}).x, 70.5);
}

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
