// Where a top-level window's frame goes on the screen.
#include "ui/windowplacement.h"

#include <algorithm>

namespace WindowPlacement {

QPoint keptInside(const QRect &frame, const QRect &available)
{
    if (available.isEmpty())
        return frame.topLeft();
    // The far edges first, then the near ones: when both cannot hold, the near ones win.
    const int x = std::max(std::min(frame.x(), available.x() + available.width() - frame.width()), available.x());
    const int y = std::max(std::min(frame.y(), available.y() + available.height() - frame.height()), available.y());
    return {x, y};
}

QPoint resizedFrameTopLeft(const QRect &frame, const QSize &target, const QRect &available)
{
    const QRect kept(QPoint(frame.x(), frame.y() + frame.height() - target.height()), target);
    return keptInside(kept, available);
}

} // namespace WindowPlacement
