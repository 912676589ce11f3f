// The status field: read-only, word-wrapping rich text whose links can be clicked.
#include "ui/hyperlinktextfield.h"

#include <QEvent>
#include <QPainter>

#include <QTextOption>

#include <cmath>
#include <memory>

HyperlinkTextField::HyperlinkTextField(QWidget *parent)
    : QWidget(parent)
{
    mDocument.setDocumentMargin(0);
    mDocument.setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    mDocument.setDefaultFont(font());
}

void HyperlinkTextField::setStringValue(const StatusText &text)
{
    mText = text;
    if (text.isRich())
        mDocument.setHtml(text.toHtml());
    else
        mDocument.setPlainText(text.plainText());
    mDocument.setTextWidth(width());
    update();
}

QSize HyperlinkTextField::naturalSize() const
{
    // Measure on a copy: the field's own document keeps its layout at the field's width.
    std::unique_ptr<QTextDocument> doc(mDocument.clone());
    doc->setTextWidth(-1);
    double w = doc->idealWidth();
    if (mMaxLayoutWidth > 0 && w > mMaxLayoutWidth) {
        doc->setTextWidth(mMaxLayoutWidth);
        w = std::max(mMaxLayoutWidth, doc->idealWidth());
    } else {
        doc->setTextWidth(w);
    }
    return QSize(int(std::ceil(w)), int(std::ceil(doc->size().height())));
}

void HyperlinkTextField::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        mDocument.setDefaultFont(font());
        update();
    }
    QWidget::changeEvent(event);
}

void HyperlinkTextField::resizeEvent(QResizeEvent *event)
{
    mDocument.setTextWidth(width());
    QWidget::resizeEvent(event);
}

void HyperlinkTextField::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    mDocument.drawContents(&painter, rect());
}
