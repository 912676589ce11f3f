// Frames in the updater's own convention: points, origin at the parent's lower-left corner, y
// growing upward. Conversion to Qt's top-left origin happens only here.
#pragma once

#include <QLocale>
#include <QRectF>
#include <QString>

struct Size
{
    double width = 0;
    double height = 0;
    bool operator==(const Size &) const = default;
};

struct Rect
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    Size size() const { return {width, height}; }
    bool operator==(const Rect &) const = default;
};

// Qt rectangle (top-left origin) of a frame inside a parent of the given height.
inline QRectF toTopLeft(const Rect &frame, double parentHeight)
{
    return QRectF(frame.x, parentHeight - frame.y - frame.height, frame.width, frame.height);
}

inline Rect fromTopLeft(const QRectF &r, double parentHeight)
{
    return {r.x(), parentHeight - r.y() - r.height(), r.width(), r.height()};
}

// "{{x, y}, {w, h}}", each number in its shortest exact form.
inline QString describeRect(const Rect &r)
{
    const auto n = [](double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); };
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(n(r.x), n(r.y), n(r.width), n(r.height));
}
