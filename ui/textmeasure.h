// The system font at a size, and the size a text takes in it when wrapped at a width.
#pragma once

#include "ui/geometry.h"

#include <QFont>
#include <QString>

// Window geometry is in points of 1/72 inch at the window's own scale, which are Qt's
// device-independent pixels; font sizes follow suit, so a font of size s is s pixels high
// whatever the screen's dots per inch.

// A size of 0 or less gives the system font at its default size.
QFont systemFontOfSize(double pointSize);

// The size of a font in the same points.
double pointSize(const QFont &font);

// The text laid out as the status field lays it out, in lines no wider than width (a word longer
// than that sticks out), at most heightLimit high.
Size measureText(const QString &text, const QFont &font, double width, double heightLimit);
