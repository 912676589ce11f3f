// Where a window's frame goes on the screen when it changes size: its lower-left corner stays
// unless that takes it off the screen's usable area. (The About window inside the screen in each
// language: tests/localization.)
#include "ui/windowplacement.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowPlacement, TheLowerLeftCornerStaysUnlessTheFrameWouldLeaveTheArea)
{
    const QRect area(0, 30, 1024, 738); // below a panel along the top
    struct Row { const char *where; QRect frame; QSize target; QPoint topLeft; };
    const Row rows[] = {
        {"middle, growing", {300, 400, 440, 160}, {440, 300}, {300, 260}},
        {"middle, shrinking", {300, 260, 440, 300}, {440, 160}, {300, 400}},
        {"at the top: down just enough", {300, 30, 440, 160}, {440, 300}, {300, 30}},
        {"near the top: down just enough", {300, 100, 440, 160}, {440, 300}, {300, 30}},
        {"growing to touch the top: kept", {300, 170, 440, 160}, {440, 300}, {300, 30}},
        {"past the left edge", {-50, 400, 440, 160}, {440, 300}, {0, 260}},
        {"past the right edge", {700, 400, 440, 160}, {440, 300}, {584, 260}},
        {"past the bottom edge", {300, 700, 440, 160}, {440, 160}, {300, 608}},
        {"larger than the area: its top-left", {100, 100, 1200, 160}, {1200, 900}, {0, 30}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(WindowPlacement::resizedFrameTopLeft(row.frame, row.target, area), row.topLeft) << row.where;
    // No screen known: the corner stays, wherever that is.
    EXPECT_EQ(WindowPlacement::resizedFrameTopLeft({300, 30, 440, 160}, {440, 300}, QRect()), QPoint(300, -110));
}

} // namespace
