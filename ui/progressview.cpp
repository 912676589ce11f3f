// The circular progress indicator of the main window: a green arc growing clockwise from
// 12 o'clock with the percentage in its centre, hidden while the value is exactly 0.
#include "ui/progressview.h"

#include "ui/accessibleprogressview.h"

#include <QAccessible>
#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The factor is single precision on purpose: the ring keeps the exact radius it has always had.
constexpr float kRadiusFactor = 0.4f;
constexpr float kDegreesPerPercent = 3.6f;
constexpr float kFullCircle = 100;

QColor ringColor()
{
    return QColor::fromRgbF(0, 1, 0, 1);
}

double degrees(double radians)
{
    return radians * 180 / std::numbers::pi;
}

} // namespace

QString progressText(float progress)
{
    return QString::asprintf("%.0f%%", double(progress));
}

RingGeometry ringGeometry(float progress, Size bounds, const QFont &textFont)
{
    constexpr float pi = std::numbers::pi_v<float>;
    RingGeometry g;
    g.centerX = bounds.width / 2;
    g.centerY = bounds.height / 2;
    g.radius = double(kRadiusFactor) * std::min(bounds.width, bounds.height);

    const float end = progress >= kFullCircle ? 2 * pi : 2 * pi - progress * kDegreesPerPercent * pi / 180;
    g.startAngle = double(end) + std::numbers::pi / 2;
    g.endAngle = std::numbers::pi / 2;
    // A value below 0 (or not a number) has no arc to draw; the full circle is drawn as one.
    const double sweep = progress >= kFullCircle ? 2 * std::numbers::pi : 2 * std::numbers::pi - double(end);
    g.sweep = std::isfinite(sweep) ? std::clamp(sweep, 0.0, 2 * std::numbers::pi) : 0.0;

    g.text = progressText(progress);
    const QFontMetricsF metrics(textFont);
    const double w = metrics.horizontalAdvance(g.text);
    const double h = metrics.height();
    g.textRect = {g.centerX - w / 2, g.centerY - h / 2, w, h};
    return g;
}

ProgressView::ProgressView(QWidget *parent)
    : QWidget(parent)
{
    AccessibleProgressView::install();
    viewDidMoveToWindow();
}

void ProgressView::setProgress(float percent)
{
    // The run repeats a value while it writes: only a new one is worth announcing.
    if (percent == mProgress)
        return;
    mProgress = percent;
    QAccessibleValueChangeEvent event(this, double(percent));
    QAccessible::updateAccessibility(&event);
}

void ProgressView::viewDidMoveToWindow()
{
    mProgress = 0;
    QFont font(QStringLiteral("Helvetica"));
    font.setStyleHint(QFont::Helvetica); // the desktop's sans-serif where Helvetica is missing
    font.setPixelSize(36);
    mAttributes = {font, Qt::black};
}

RingGeometry ProgressView::ringGeometry() const
{
    return ::ringGeometry(mProgress, {double(width()), double(height())}, mAttributes.font);
}

bool ProgressView::applyVisibility()
{
    const bool shown = mProgress != 0;
    if (isHidden() == shown)
        setVisible(shown);
    return shown;
}

void ProgressView::update()
{
    if (applyVisibility())
        QWidget::update();
}

bool ProgressView::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange)
        viewDidMoveToWindow();
    return QWidget::event(event);
}

void ProgressView::paintEvent(QPaintEvent *)
{
    if (!applyVisibility())
        return;

    const RingGeometry g = ringGeometry();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // Qt's arc angles turn counter-clockwise on screen like ours; only y flips.
    const double cy = height() - g.centerY;
    const QRectF circle(g.centerX - g.radius, cy - g.radius, 2 * g.radius, 2 * g.radius);
    QPainterPath arc;
    arc.arcMoveTo(circle, degrees(g.startAngle));
    arc.arcTo(circle, degrees(g.startAngle), degrees(g.sweep));
    painter.setPen(QPen(ringColor(), kLineWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawPath(arc);

    painter.setFont(mAttributes.font);
    painter.setPen(mAttributes.color);
    painter.drawText(toTopLeft(g.textRect, height()), Qt::AlignCenter | Qt::TextDontClip, g.text);
}
