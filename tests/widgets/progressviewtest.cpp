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

constexpr double kPi = std::numbers::pi;

double toDegrees(double radians)
{
    return radians * 180 / kPi;
}

struct RingCase
{
    float progress;
    Size bounds;
    double startDegrees; // the arc runs counter-clockwise from here to 90°
    double sweepDegrees;
    const char *text;
};

class RingGeometryTest : public ::testing::TestWithParam<RingCase>
{
};

TEST_P(RingGeometryTest, ArcTextAndRadius)
{
    const RingCase c = GetParam();
    ProgressView view;
    const RingGeometry g = ringGeometry(c.progress, c.bounds, view.attributes().font);

    EXPECT_DOUBLE_EQ(g.centerX, c.bounds.width / 2);
    EXPECT_DOUBLE_EQ(g.centerY, c.bounds.height / 2);
    // The shorter side decides, times the single-precision 0.4.
    EXPECT_DOUBLE_EQ(g.radius, 0.4000000059604645 * std::min(c.bounds.width, c.bounds.height));
    EXPECT_NEAR(toDegrees(g.startAngle), c.startDegrees, 1e-3);
    EXPECT_DOUBLE_EQ(toDegrees(g.endAngle), 90);
    EXPECT_NEAR(toDegrees(g.sweep), c.sweepDegrees, 1e-3);
    EXPECT_EQ(g.text, QString::fromLatin1(c.text));

    // The text is centred on the ring and as large as Helvetica 36 makes it.
    const QFontMetricsF metrics(view.attributes().font);
    EXPECT_DOUBLE_EQ(g.textRect.x + g.textRect.width / 2, g.centerX);
    EXPECT_DOUBLE_EQ(g.textRect.y + g.textRect.height / 2, g.centerY);
    EXPECT_DOUBLE_EQ(g.textRect.width, metrics.horizontalAdvance(g.text));
    EXPECT_DOUBLE_EQ(g.textRect.height, metrics.height());
}

INSTANTIATE_TEST_SUITE_P(Values, RingGeometryTest,
                         ::testing::Values(
                             // A short arc at 12 o'clock, while the text rounds down.
                             RingCase{0.4f, {300, 140}, 448.56, 1.44, "0%"},
                             // 12 to 3 o'clock.
                             RingCase{25, {140, 300}, 360, 90, "25%"},
                             // Just short of the circle, while the text rounds up.
                             RingCase{99.6f, {140, 140}, 91.44, 358.56, "100%"},
                             RingCase{100, {200, 120}, 450, 360, "100%"},
                             RingCase{150, {120, 200}, 450, 360, "150%"}));

TEST(RingGeometry, NoArcBelowZeroNorAFullRingForAValueTooSmallToMeasure)
{
    const RingGeometry negative = ringGeometry(-5, {100, 100}, QFont());
    EXPECT_EQ(negative.sweep, 0);
    EXPECT_EQ(negative.text, QStringLiteral("-5%"));
    // The single-precision end angle rounds to the start: that is no arc, not the full circle.
    EXPECT_LT(ringGeometry(1e-7f, {100, 100}, QFont()).sweep, 1e-6);
}

// Pixels of the ring colour, give or take anti-aliasing.
bool isGreen(QRgb p)
{
    return qGreen(p) > 180 && qRed(p) < 100 && qBlue(p) < 100;
}

// Clockwise angle from 12 o'clock, in degrees [0, 360), of a pixel around a centre (Qt's y down).
double clockAngle(double dx, double dy)
{
    const double a = toDegrees(std::atan2(dx, -dy));
    return a < 0 ? a + 360 : a;
}

QImage grabRing(ProgressView &view, float progress)
{
    view.setProgress(progress);
    view.update();
    return view.grab().toImage();
}

TEST(ProgressView, QuarterRingIsGreenOnlyOnItsArc)
{
    ProgressView view;
    view.resize(200, 200);
    const QImage image = grabRing(view, 25);
    ASSERT_FALSE(image.isNull());
    const double scale = image.devicePixelRatio();
    const double cx = 100 * scale, cy = 100 * scale, r = 80 * scale;

    int green = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!isGreen(image.pixel(x, y)))
                continue;
            ++green;
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            ASSERT_NEAR(std::hypot(dx, dy), r, 4 * scale) << "green at " << x << "," << y;
            const double a = clockAngle(dx, dy);
            ASSERT_TRUE(a <= 92 || a >= 358) << "green at " << a << " degrees";
        }
    }
    EXPECT_GT(green, 100);

    const auto onRing = [&](double degrees) {
        const double a = degrees * kPi / 180;
        return image.pixel(int(cx + r * std::sin(a)), int(cy - r * std::cos(a)));
    };
    for (double a : {3.0, 45.0, 87.0})
        EXPECT_TRUE(isGreen(onRing(a))) << a << " degrees";
    for (double a : {100.0, 180.0, 270.0, 350.0})
        EXPECT_FALSE(isGreen(onRing(a))) << a << " degrees";

    // The percentage is written in the middle, in black.
    bool dark = false;
    for (int y = int(cy - 20 * scale); y < int(cy + 20 * scale); ++y)
        for (int x = int(cx - 40 * scale); x < int(cx + 40 * scale); ++x)
            dark = dark || qGray(image.pixel(x, y)) < 60;
    EXPECT_TRUE(dark);
}

TEST(ProgressView, FullRingAtAHundredAndAbove)
{
    ProgressView view;
    view.resize(300, 150); // wide: the height decides the radius
    for (float progress : {100.0f, 150.0f}) {
        const QImage image = grabRing(view, progress);
        const double scale = image.devicePixelRatio();
        const double r = 0.4 * 150 * scale;
        for (int degrees = 0; degrees < 360; degrees += 30) {
            const double a = degrees * kPi / 180;
            EXPECT_TRUE(isGreen(image.pixel(int(150 * scale + r * std::sin(a)), int(75 * scale - r * std::cos(a)))))
                << progress << "% at " << degrees << " degrees";
        }
    }
}

TEST(ProgressView, ZeroHidesAndARedrawAtAValueShowsAgain)
{
    QWidget window;
    window.resize(400, 300);
    auto *view = new ProgressView(&window);
    view->setGeometry(100, 50, 140, 140);
    window.show();
    ASSERT_TRUE(processEventsUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));

    view->setProgress(30);
    view->update();
    EXPECT_FALSE(view->isHidden());

    // A paint at 0 hides the ring, as does a redraw request at 0.
    view->setProgress(0);
    view->repaint();
    EXPECT_TRUE(view->isHidden());

    // The value alone changes nothing; the redraw request for it shows the ring again.
    view->setProgress(40);
    EXPECT_TRUE(view->isHidden());
    view->update();
    EXPECT_FALSE(view->isHidden());

    view->setProgress(0);
    view->update();
    EXPECT_TRUE(view->isHidden());

    // Hidden by its owner (the camera went away), shown by the next progress.
    view->setProgress(10);
    view->update();
    view->hide();
    view->setProgress(12);
    view->update();
    EXPECT_TRUE(view->isVisible());
}

TEST(ProgressView, EnteringAWindowStartsAgainAtZero)
{
    QWidget first, second;
    auto *view = new ProgressView(&first);
    view->setProgress(60);
    view->setParent(&second);
    EXPECT_EQ(view->progress(), 0);
}

} // namespace
