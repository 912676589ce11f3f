// Text layout for the status field: a laid-out copy of a status text, the rectangles of its link
// runs and the character under a point.
#include "ui/hyperlinklayout.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr QRgb kLinkColor = 0xff0000ff;

// Calls visit(block, line) for every laid-out line of the document, top to bottom, until it
// returns false.
template<typename Visit>
void forEachLine(const QTextDocument &layout, Visit &&visit)
{
    for (QTextBlock block = layout.begin(); block.isValid(); block = block.next()) {
        const QTextLayout *lines = block.layout();
        for (int i = 0; lines && i < lines->lineCount(); ++i) {
            if (!visit(block, lines->lineAt(i)))
                return;
        }
    }
}

} // namespace

std::unique_ptr<QTextDocument> layoutText(const StatusText &text, const QFont &font, double width,
                                          Qt::Alignment plainAlignment)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentMargin(0);
    document->setDefaultFont(font);
    QTextOption option(text.isRich() ? text.alignment() & Qt::AlignHorizontal_Mask
                                     : plainAlignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WordWrap);
    document->setDefaultTextOption(option);

    // The layout's positions are the text's positions: a "\r\n" would become one line break, so
    // its '\r' turns into a zero-width space that keeps the place.
    QString characters = text.plainText();
    for (qsizetype i = 0; i + 1 < characters.size(); ++i) {
        if (characters[i] == QLatin1Char('\r') && characters[i + 1] == QLatin1Char('\n'))
            characters[i] = QChar(0x200B);
    }
    QTextCursor cursor(document.get());
    cursor.insertText(characters);

    for (const StatusText::Link &run : text.linkRuns()) {
        cursor.setPosition(int(run.start));
        cursor.setPosition(int(run.start + run.length), QTextCursor::KeepAnchor);
        QTextCharFormat link;
        link.setAnchor(true);
        link.setAnchorHref(run.url.toString());
        link.setForeground(QColor::fromRgba(kLinkColor));
        link.setFontUnderline(true);
        cursor.mergeCharFormat(link);
    }

    document->setTextWidth(width);
    document->size(); // lays the whole text out now, so its lines can be read
    return document;
}

QList<QRectF> rectsForCharacterRange(const QTextDocument &layout, qsizetype start, qsizetype length)
{
    QList<QRectF> rects;
    const qsizetype end = start + length;
    forEachLine(layout, [&](const QTextBlock &block, const QTextLine &line) {
        const qsizetype lineStart = block.position() + line.textStart();
        const qsizetype lineEnd = lineStart + line.textLength();
        const qsizetype from = std::max(start, lineStart);
        const qsizetype to = std::min(end, lineEnd);
        if (from < to) {
            const QPointF origin = block.layout()->position();
            const double x1 = line.cursorToX(int(from - block.position()));
            const double x2 = line.cursorToX(int(to - block.position()));
            rects.append(QRectF(origin.x() + std::min(x1, x2), origin.y() + line.y(), std::abs(x2 - x1),
                                line.height()));
        }
        return lineStart < end;
    });
    return rects;
}

std::optional<QList<HyperlinkInfo>> hyperlinkInfos(const StatusText &text, const QTextDocument &layout)
{
    QList<HyperlinkInfo> infos;
    for (const StatusText::Link &run : text.linkRuns()) {
        for (const QRectF &rect : rectsForCharacterRange(layout, run.start, run.length))
            infos.append({run.start, run.length, run.url, rect});
    }
    if (infos.isEmpty())
        return std::nullopt;
    return infos;
}

std::optional<qsizetype> characterIndexForPoint(const QTextDocument &layout, QPointF point)
{
    if (layout.isEmpty())
        return std::nullopt;

    // The line the point is on, or the nearest one above or below it.
    QTextBlock nearestBlock;
    QTextLine nearestLine;
    double nearestDistance = 0;
    forEachLine(layout, [&](const QTextBlock &block, const QTextLine &line) {
        const double top = block.layout()->position().y() + line.y();
        const double bottom = top + line.height();
        const double distance = point.y() < top ? top - point.y() : point.y() >= bottom ? point.y() - bottom : 0;
        if (!nearestLine.isValid() || distance < nearestDistance) {
            nearestBlock = block;
            nearestLine = line;
            nearestDistance = distance;
        }
        return distance > 0;
    });
    if (!nearestLine.isValid())
        return std::nullopt;

    const double x = point.x() - nearestBlock.layout()->position().x();
    const qsizetype lineStart = nearestLine.textStart();
    const qsizetype lineEnd = lineStart + nearestLine.textLength();
    qsizetype index = nearestLine.xToCursor(x, QTextLine::CursorOnCharacter);
    // Beside the end of a line the nearest character is the line's last one.
    if (lineEnd > lineStart)
        index = std::clamp(index, lineStart, lineEnd - 1);
    return nearestBlock.position() + index;
}
