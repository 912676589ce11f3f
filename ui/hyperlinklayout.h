// Text layout for the status field: a laid-out copy of a status text, the rectangles of its link
// runs and the character under a point. The field paints the same layout it measures, so the
// area that shows the hand cursor is the area that opens the link.
#pragma once

#include "text/statustext.h"

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QTextDocument>
#include <QUrl>

#include <memory>
#include <optional>

// One line rectangle of one link run. A run that wraps over k lines gives k entries with the same
// range and URL.
struct HyperlinkInfo
{
    qsizetype location = 0;
    qsizetype length = 0;
    QUrl url;
    QRectF rect; // in the layout's coordinates: top-left origin, y downward

    bool contains(qsizetype index) const { return location <= index && index < location + length; }
};

// The text laid out in font, word-wrapped at width (no wrapping when width < 0): every character
// of the text at its own position, link runs blue and underlined, the text's alignment, or
// plainAlignment when the text carries no formatting of its own.
std::unique_ptr<QTextDocument> layoutText(const StatusText &text, const QFont &font, double width,
                                          Qt::Alignment plainAlignment = Qt::AlignLeft);

// The rectangles the characters [start, start + length) occupy, one per line, in line order.
QList<QRectF> rectsForCharacterRange(const QTextDocument &layout, qsizetype start, qsizetype length);

// One entry per line rectangle of each link run, in text order; nothing when the text has no link.
std::optional<QList<HyperlinkInfo>> hyperlinkInfos(const StatusText &text, const QTextDocument &layout);

// The character under a point of the layout, or the nearest one when the point is beside the
// text; nothing for an empty text.
std::optional<qsizetype> characterIndexForPoint(const QTextDocument &layout, QPointF point);
