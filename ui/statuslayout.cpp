// Where the window's controls go, as plain functions of sizes and layout flags.
#include "ui/statuslayout.h"

namespace StatusLayout {

Rect statusFieldFrame(const Placement &p)
{
    const double x = p.parent.width / 2 - p.field.width / 2;
    double y = 0;
    if (p.needProgressBar)
        y = p.parent.height / 2 - p.ringHeight / 2 - p.field.height / 2 + kRingLift;
    else if (p.needsButton)
        y = p.parent.height / 2 + p.buttonHeight / 2 - p.field.height / 2;
    else
        y = p.parent.height / 2 - p.field.height / 2;
    return {x, y, p.field.width, p.field.height};
}

Size windowSize(bool needProgressBar)
{
    return {kWindowWidth, needProgressBar ? kRingWindowHeight : kCompactWindowHeight};
}

double buttonY(bool needProgressBar)
{
    return needProgressBar ? kRingButtonY : kCompactButtonY;
}

} // namespace StatusLayout
