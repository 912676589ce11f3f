// The window's content view: places its children by frames with a lower-left origin and keeps
// them at their distance from the bottom edge when the window grows or shrinks, the way the
// updater's layout rules expect.
#include "ui/contentview.h"

#include <QResizeEvent>

#include <cmath>

ContentView::ContentView(QWidget *parent)
    : QWidget(parent)
{
}

QRect ContentView::pixelRect(const Rect &frame, double parentHeight)
{
    const QRectF r = toTopLeft(frame, parentHeight);
    return QRect(int(std::lround(r.x())), int(std::lround(r.y())), int(std::lround(r.width())),
                 int(std::lround(r.height())));
}

Rect ContentView::frameAt(const QWidget *child, double parentHeight) const
{
    // Widgets sit on whole pixels; the exact frame is kept as long as the widget is where it put it.
    const auto stored = mFrames.constFind(child);
    if (stored != mFrames.cend() && pixelRect(*stored, parentHeight) == child->geometry())
        return *stored;
    return fromTopLeft(QRectF(child->geometry()), parentHeight);
}

Rect ContentView::frameOf(const QWidget *child) const
{
    return frameAt(child, height());
}

void ContentView::setFrameOf(QWidget *child, const Rect &frame)
{
    mFrames.insert(child, frame);
    child->setGeometry(pixelRect(frame, height()));
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const bool resized = event->oldSize().isValid();
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (resized) {
            mFrames.insert(child, frameAt(child, event->oldSize().height()));
        } else if (!mFrames.contains(child)) {
            continue; // first layout: an unplaced child stays where the window's design put it
        }
        child->setGeometry(pixelRect(mFrames.value(child), event->size().height()));
    }
}
