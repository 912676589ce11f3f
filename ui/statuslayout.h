// Where the window's controls go, as plain functions of sizes and layout flags.
#pragma once

#include "ui/geometry.h"

namespace StatusLayout {

inline constexpr double kWindowWidth = 440;
inline constexpr double kRingWindowHeight = 300;
inline constexpr double kCompactWindowHeight = 160;
inline constexpr double kButtonX = 120;
inline constexpr double kRingButtonY = 30;
inline constexpr double kCompactButtonY = 10;
inline constexpr double kRingLift = 20;
inline constexpr double kFittingWidth = 400;
inline constexpr double kFittingHeight = 100;
inline constexpr double kMeasuringHeight = 20000;

struct Placement
{
    Size parent;          // the view that holds the status field
    Size field;           // the field's size after sizing it to its text
    double buttonHeight = 0;
    double ringHeight = 0;
    bool needProgressBar = false;
    bool needsButton = false;
};

// The status field centred across its parent; vertically centred, raised by half the button when
// the button shows, lowered under the ring (less the lift) while the ring shows.
Rect statusFieldFrame(const Placement &p);

Size windowSize(bool needProgressBar);
double buttonY(bool needProgressBar);

// Largest whole size from startSize down to 1 at which measure(size) fits inside (width, height),
// or 0 when none does. measure gives the text's size laid out at that size.
template<typename Measure>
int fittingFontSize(int startSize, double width, double height, Measure &&measure)
{
    for (int s = startSize; s >= 1; --s) {
        const Size m = measure(s);
        if (width >= m.width && height >= m.height)
            return s;
    }
    return 0;
}

} // namespace StatusLayout
