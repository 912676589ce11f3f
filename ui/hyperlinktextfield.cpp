// The status field: read-only, word-wrapping rich text whose links can be clicked.
#include "ui/hyperlinktextfield.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessibleWidget>
#include <QCursor>
#include <QDesktopServices>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Assistive technology reads the field as it reads a label: static text named by what it says.
QAccessibleInterface *accessibleField(const QString &, QObject *object)
{
    auto *field = qobject_cast<HyperlinkTextField *>(object);
    // Qt's accessibility cache owns the interface and drops it with the widget.
    return field ? new QAccessibleWidget(field, QAccessible::StaticText) : nullptr;
}

} // namespace

HyperlinkTextField::HyperlinkTextField(QWidget *parent)
    : QWidget(parent)
    , mMaxLayoutWidth(parent ? parent->width() : 0)
    , mOpenUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    static const bool factoryInstalled = (QAccessible::installFactory(accessibleField), true);
    static_cast<void>(factoryInstalled);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    relayout();
}

void HyperlinkTextField::setStringValue(const StatusText &text)
{
    mText = text;
    relayout();
    // Setting the name announces it. A status shown again (each step of the progress repeats
    // it) is not news to a screen reader.
    if (accessibleName() != text.plainText())
        setAccessibleName(text.plainText());
}

void HyperlinkTextField::setAlignment(Qt::Alignment alignment)
{
    mAlignment = alignment;
    relayout();
}

QSize HyperlinkTextField::naturalSize() const
{
    std::unique_ptr<QTextDocument> unwrapped = layoutText(mText, font(), -1, mAlignment);
    double w = unwrapped->idealWidth();
    if (mMaxLayoutWidth > 0 && w > mMaxLayoutWidth)
        w = std::max(mMaxLayoutWidth, layoutText(mText, font(), mMaxLayoutWidth, mAlignment)->idealWidth());
    const double h = layoutText(mText, font(), w, mAlignment)->size().height();
    const QMargins m = contentsMargins();
    return QSize(int(std::ceil(w)) + m.left() + m.right(), int(std::ceil(h)) + m.top() + m.bottom());
}

std::unique_ptr<QTextDocument> HyperlinkTextField::textView() const
{
    return layoutText(mText, font(), textArea().width(), mAlignment);
}

std::optional<QList<HyperlinkInfo>> HyperlinkTextField::hyperlinkInfos() const
{
    std::optional<QList<HyperlinkInfo>> infos = ::hyperlinkInfos(mText, *textView());
    if (infos) {
        const QPointF origin = textArea().topLeft();
        for (HyperlinkInfo &info : *infos)
            info.rect.translate(origin);
    }
    return infos;
}

void HyperlinkTextField::relayout()
{
    mDocument = textView();
    resetCursorRects();
    update();
}

void HyperlinkTextField::resetCursorRects()
{
    mCursorRects.clear();
    if (const auto infos = hyperlinkInfos()) {
        for (const HyperlinkInfo &info : *infos)
            mCursorRects.append(info.rect);
    }
    if (underMouse())
        updateCursor(mapFromGlobal(QCursor::pos()));
}

void HyperlinkTextField::updateCursor(QPointF position)
{
    const bool overLink = std::any_of(mCursorRects.cbegin(), mCursorRects.cend(),
                                      [&](const QRectF &r) { return r.contains(position); });
    if (overLink)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void HyperlinkTextField::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::ContentsRectChange)
        relayout();
    QWidget::changeEvent(event);
}

void HyperlinkTextField::resizeEvent(QResizeEvent *event)
{
    relayout();
    QWidget::resizeEvent(event);
}

void HyperlinkTextField::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setClipRect(textArea());
    painter.translate(textArea().topLeft());
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, palette().color(QPalette::WindowText));
    mDocument->documentLayout()->draw(&painter, context);
}

void HyperlinkTextField::mouseMoveEvent(QMouseEvent *event)
{
    updateCursor(event->position());
    QWidget::mouseMoveEvent(event);
}

void HyperlinkTextField::mousePressEvent(QMouseEvent *event)
{
    // Taking the press makes the release come here.
    event->setAccepted(event->button() == Qt::LeftButton);
}

void HyperlinkTextField::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();

    const std::unique_ptr<QTextDocument> layout = textView();
    const std::optional<qsizetype> index = characterIndexForPoint(*layout, event->position() - textArea().topLeft());
    if (!index)
        return;
    const auto infos = hyperlinkInfos();
    if (!infos)
        return;
    // A link that wraps has an entry per line, all with the same range: one click opens it once.
    for (const HyperlinkInfo &info : *infos) {
        if (info.contains(*index)) {
            mOpenUrl(info.url);
            return;
        }
    }
}
