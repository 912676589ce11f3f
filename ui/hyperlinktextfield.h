// The status field: read-only, word-wrapping rich text whose links can be clicked. The pointer
// turns into a pointing hand over a link, and a click on a link opens its URL.
#pragma once

#include "ui/hyperlinklayout.h"
#include "text/statustext.h"

#include <QList>
#include <QRectF>
#include <QTextDocument>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class HyperlinkTextField : public QWidget
{
    Q_OBJECT

public:
    // Opens a URL with the desktop's default handler; tests put their own in its place.
    using UrlOpener = std::function<bool(const QUrl &)>;

    explicit HyperlinkTextField(QWidget *parent = nullptr);

    const StatusText &stringValue() const { return mText; }
    // Replaces the content; a rich text keeps its links and alignment. The plain text is also
    // the field's accessible name.
    void setStringValue(const StatusText &text);

    // How a plain text lines up; a rich text brings its own alignment.
    Qt::Alignment alignment() const { return mAlignment; }
    void setAlignment(Qt::Alignment alignment);

    // Width beyond which sizeToFit wraps the text; 0 lets a line run as long as it is.
    double preferredMaxLayoutWidth() const { return mMaxLayoutWidth; }
    void setPreferredMaxLayoutWidth(double width) { mMaxLayoutWidth = width; }

    // The size the current text takes in the current font.
    QSize naturalSize() const;
    void sizeToFit() { resize(naturalSize()); }

    // The area the text is laid out in, in the field's coordinates.
    QRectF textArea() const { return QRectF(contentsRect()); }
    // A fresh copy of the current text laid out in the text area, for geometry only.
    std::unique_ptr<QTextDocument> textView() const;
    // The current link rectangles, laid out afresh, in the field's coordinates; nothing when the
    // text has no link.
    std::optional<QList<HyperlinkInfo>> hyperlinkInfos() const;

    // The rectangles that show the pointing hand, rebuilt whenever text, font or size change.
    const QList<QRectF> &cursorRects() const { return mCursorRects; }

    void setUrlOpener(UrlOpener opener) { mOpenUrl = std::move(opener); }

    // The layout the field paints.
    const QTextDocument &document() const { return *mDocument; }

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    // A click: opens the link under the released button, if any.
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void relayout();
    void resetCursorRects();
    void updateCursor(QPointF position);

    StatusText mText;
    std::unique_ptr<QTextDocument> mDocument;
    Qt::Alignment mAlignment = Qt::AlignHCenter;
    double mMaxLayoutWidth = 0;
    QList<QRectF> mCursorRects;
    UrlOpener mOpenUrl;
};
