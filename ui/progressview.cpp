// The circular progress indicator of the main window.
#include "ui/progressview.h"

#include <QPainter>

ProgressView::ProgressView(QWidget *parent)
    : QWidget(parent)
{
}

void ProgressView::setProgress(double percent)
{
    mProgress = percent;
    update();
}

void ProgressView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height()) * 0.8;
    const QRectF circle(width() / 2.0 - side / 2, height() / 2.0 - side / 2, side, side);
    painter.setPen(QPen(Qt::green, 5));
    painter.drawArc(circle, 90 * 16, -int(std::min(mProgress, 100.0) * 3.6 * 16));
}
