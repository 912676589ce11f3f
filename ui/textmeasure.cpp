// The system font at a size, and the size a text takes in it when wrapped at a width.
#include "ui/textmeasure.h"

#include <QFontDatabase>
#include <QFontMetricsF>

QFont systemFontOfSize(double size)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (size > 0)
        font.setPixelSize(int(size));
    return font;
}

double pointSize(const QFont &font)
{
    return font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF();
}

Size measureText(const QString &text, const QFont &font, double width, double heightLimit)
{
    const QRectF r = QFontMetricsF(font).boundingRect(QRectF(0, 0, width, heightLimit), Qt::TextWordWrap, text);
    return {r.width(), r.height()};
}
