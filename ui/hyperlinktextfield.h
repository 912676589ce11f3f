// The status field: read-only, word-wrapping rich text whose links can be clicked.
#pragma once

#include "ui/statustext.h"

#include <QTextDocument>
#include <QWidget>

class HyperlinkTextField : public QWidget
{
    Q_OBJECT

public:
    explicit HyperlinkTextField(QWidget *parent = nullptr);

    const StatusText &stringValue() const { return mText; }
    void setStringValue(const StatusText &text);

    // Width beyond which sizeToFit wraps the text; 0 lets a line run as long as it is.
    double preferredMaxLayoutWidth() const { return mMaxLayoutWidth; }
    void setPreferredMaxLayoutWidth(double width) { mMaxLayoutWidth = width; }

    // The size the current text takes in the current font.
    QSize naturalSize() const;
    void sizeToFit() { resize(naturalSize()); }

    const QTextDocument &document() const { return mDocument; }

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    StatusText mText;
    QTextDocument mDocument;
    double mMaxLayoutWidth = 0;
};
