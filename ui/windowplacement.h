// Where a top-level window's frame goes on the screen, as plain functions of rectangles in the
// screen's own (top-left) coordinates, so that they can be checked without a window.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace WindowPlacement {

// The top-left corner that brings frame inside available, moving it no further than needed. A
// frame larger than the area keeps its top and left edges on the area's: the title bar and the
// window's menu stay within reach. An empty area (no screen known) leaves the frame where it is.
QPoint keptInside(const QRect &frame, const QRect &available);

// The top-left corner of a frame that changes from frame to target size: its lower-left corner
// stays where it is, unless that would take the frame out of the available area.
QPoint resizedFrameTopLeft(const QRect &frame, const QSize &target, const QRect &available);

} // namespace WindowPlacement
