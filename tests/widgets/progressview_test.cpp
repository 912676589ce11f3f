// The progress ring: its geometry for chosen values and shapes, what a grab of it shows, and the
// rule that a redraw request decides whether it is visible.
#include "ui/progressview.h"

#include "tests/support/testsupport.h"

#include <QFontMetricsF>
#include <QImage>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double kDegree = std::numbers::pi / 180;

TEST(RingGeometry, ArcTextAndRadiusInWideAndTallViews)
{
    struct Row { float progress; Size bounds; double startDegrees; double sweepDegrees; const char *text; };
    const Row rows[] = {
        {-5, {100, 100}, 450, 0, "-5%"},           // no arc below zero
        {1e-7f, {100, 100}, 450, 0, "0%"},         // an end angle rounding to the start: no arc, not the circle
        {0.4f, {300, 140}, 448.56, 1.44, "0%"},    // a short arc at 12 o'clock, the text rounding down
        {25, {140, 300}, 360, 90, "25%"},          // 12 to 3 o'clock
        {99.6f, {140, 140}, 91.44, 358.56, "100%"}, // just short of the circle, the text rounding up
        {100, {200, 120}, 450, 360, "100%"},
        {150, {120, 200}, 450, 360, "150%"},
    };
    const QFont font = ProgressView().attributes().font;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.progress);
        const RingGeometry g = ringGeometry(row.progress, row.bounds, font);
        // The shorter side decides, times the single-precision 0.4.
        EXPECT_DOUBLE_EQ(g.radius, 0.4000000059604645 * std::min(row.bounds.width, row.bounds.height));
        EXPECT_NEAR(g.sweep / kDegree, row.sweepDegrees, 1e-3);
        if (row.sweepDegrees > 0) {
            EXPECT_NEAR(g.startAngle / kDegree, row.startDegrees, 1e-3);
        }
        EXPECT_EQ(g.text, QString::fromLatin1(row.text));
        // The text is centred on the ring and as wide as its font makes it.
        EXPECT_DOUBLE_EQ(g.textRect.x + g.textRect.width / 2, row.bounds.width / 2);
        EXPECT_DOUBLE_EQ(g.textRect.width, QFontMetricsF(font).horizontalAdvance(g.text));
    }
}

TEST(ProgressView, AGrabIsGreenOnTheArcWithTheTextInBlack)
{
    const auto isGreen = [](QRgb p) { return qGreen(p) > 180 && qRed(p) < 100 && qBlue(p) < 100; };
    struct Row { float progress; int width, height; double arcDegrees; };
    for (const Row row : {Row{25, 200, 200, 90}, Row{150, 300, 150, 360}}) {
        SCOPED_TRACE(row.progress);
        ProgressView view;
        view.resize(row.width, row.height);
        view.setProgress(row.progress);
        view.update();
        const QImage image = view.grab().toImage();
        const double scale = image.devicePixelRatio();
        const double cx = row.width / 2.0 * scale, cy = row.height / 2.0 * scale;
        const double r = 0.4 * std::min(row.width, row.height) * scale;
        // Round the ring every 15 degrees, clockwise from 12 o'clock: green on the arc only, and
        // nothing green just inside or outside it.
        for (int degrees = 5; degrees < 360; degrees += 15) {
            const double sin = std::sin(degrees * kDegree), cos = std::cos(degrees * kDegree);
            const auto green = [&](double radius) { return isGreen(image.pixel(int(cx + radius * sin), int(cy - radius * cos))); };
            EXPECT_EQ(green(r), degrees < row.arcDegrees) << degrees << " degrees";
            EXPECT_FALSE(green(r - 8 * scale) || green(r + 8 * scale)) << degrees << " degrees";
        }
        bool dark = false;
        for (int y = int(cy - 20 * scale); y < int(cy + 20 * scale); ++y)
            for (int x = int(cx - 40 * scale); x < int(cx + 40 * scale); ++x)
                dark = dark || qGray(image.pixel(x, y)) < 60;
        EXPECT_TRUE(dark) << "no text in the middle";
    }
}

TEST(ProgressView, ZeroHidesARedrawAtAValueShowsAndANewWindowStartsAtZero)
{
    QWidget window, other;
    window.resize(400, 300);
    auto *view = new ProgressView(&window);
    view->setGeometry(100, 50, 140, 140);
    window.show();
    ASSERT_TRUE(processEventsUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));

    // A redraw request (update) or a paint (repaint) decides: hidden at 0, shown at any other value.
    // The value alone changes nothing, and a ring hidden by its owner (the camera went away) comes
    // back with the next progress.
    enum Step { Update, Repaint, ValueOnly, OwnerHides };
    struct Row { float progress; Step step; bool hidden; };
    const Row steps[] = {{30, Update, false}, {0, Repaint, true}, {40, ValueOnly, true}, {40, Update, false},
                         {0, Update, true}, {10, Update, false}, {10, OwnerHides, true}, {12, Update, false}};
    for (const Row &row : steps) {
        SCOPED_TRACE(testing::Message() << row.progress << " step " << row.step);
        view->setProgress(row.progress);
        row.step == Update ? view->update() : row.step == Repaint ? view->repaint() : row.step == OwnerHides ? view->hide() : void();
        EXPECT_EQ(view->isHidden(), row.hidden);
    }
    view->setParent(&other);
    EXPECT_EQ(view->progress(), 0);
}

} // namespace
