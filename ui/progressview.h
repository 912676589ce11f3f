// The circular progress indicator of the main window: a green arc growing clockwise from
// 12 o'clock with the percentage in its centre, hidden while the value is exactly 0.
#pragma once

#include "ui/geometry.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

// What the ring draws for a value in a view of a given size, in the view's own lower-left
// coordinates. Angles are radians, counter-clockwise from the positive x axis; the arc runs
// counter-clockwise from startAngle to endAngle, which on screen is clockwise from 12 o'clock.
struct RingGeometry
{
    double centerX = 0;
    double centerY = 0;
    double radius = 0;
    double startAngle = 0;
    double endAngle = 0;
    double sweep = 0; // length of the arc, 0 to 2π
    QString text;
    Rect textRect;
};

// The ring for a progress in percent inside bounds, its text measured in textFont.
RingGeometry ringGeometry(float progress, Size bounds, const QFont &textFont);

// "%.0f%%": the value rounded the way printf rounds, then a percent sign.
QString progressText(float progress);

class ProgressView : public QWidget
{
    Q_OBJECT

public:
    inline static constexpr double kLineWidth = 5;

    struct TextAttributes
    {
        QFont font;
        QColor color;
    };

    explicit ProgressView(QWidget *parent = nullptr);

    // The value alone; what shows changes with the next redraw request. Assistive technology
    // hears of a new value at once.
    float progress() const { return mProgress; }
    void setProgress(float percent);

    // A redraw request. A hidden widget gets no paint events, so whether the ring shows is
    // decided here as well as when painting: a non-zero value shows it, exactly 0 hides it.
    using QWidget::update;
    void update();

    const TextAttributes &attributes() const { return mAttributes; }
    // The ring for the current value and size.
    RingGeometry ringGeometry() const;

    // Entering (or leaving) a window starts the ring again from nothing. Called on every change
    // of parent; the constructor starts from the same state.
    void viewDidMoveToWindow();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool applyVisibility();

    float mProgress = 0;
    TextAttributes mAttributes;
};
