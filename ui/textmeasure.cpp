// The system font at a size, and the size a text takes in it when wrapped at a width.
#include "ui/textmeasure.h"

#include "ui/hyperlinklayout.h"

#include <QFontDatabase>
#include <QTextDocument>

#include <algorithm>
#include <memory>

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
    // The status field's own layout, so that a size that fits here fits in the field.
    const std::unique_ptr<QTextDocument> layout = layoutText(StatusText(text), font, width);
    return {layout->idealWidth(), std::min(layout->size().height(), heightLimit)};
}
