// The window's content view: places its children by frames with a lower-left origin and keeps
// them at their distance from the bottom edge when the window grows or shrinks, the way the
// updater's layout rules expect.
#pragma once

#include "ui/geometry.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(QWidget *parent = nullptr);

    Size boundsSize() const { return {double(width()), double(height())}; }

    // The child's frame in lower-left coordinates, exact as last set when nothing moved it since.
    Rect frameOf(const QWidget *child) const;
    void setFrameOf(QWidget *child, const Rect &frame);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    Rect frameAt(const QWidget *child, double parentHeight) const;
    static QRect pixelRect(const Rect &frame, double parentHeight);

    QHash<const QWidget *, Rect> mFrames;
};
