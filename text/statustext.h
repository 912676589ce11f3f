// A status message: plain characters, optionally with link runs and an alignment.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <Qt>

class StatusText
{
public:
    struct Link
    {
        qsizetype start = 0;
        qsizetype length = 0;
        QUrl url;
    };

    StatusText() = default;
    StatusText(QString text) // NOLINT: a plain string is a status text
        : mText(std::move(text))
    {
    }
    StatusText(const char *text) = delete; // say QStringLiteral: texts are never Latin-1 guesses

    const QString &plainText() const { return mText; }
    bool isRich() const { return !mLinks.isEmpty() || mAlignment != Qt::AlignLeft; }

    // Makes the characters at [start, start + length) a link; ranges outside the text are clipped.
    void addLink(qsizetype start, qsizetype length, const QUrl &url);
    const QList<Link> &links() const { return mLinks; }
    // The link runs as the text shows them: in text order, an overlapping run losing to the one
    // before it, and touching runs to the same URL joined into one.
    QList<Link> linkRuns() const;

    void setAlignment(Qt::Alignment alignment) { mAlignment = alignment; }
    Qt::Alignment alignment() const { return mAlignment; }

private:
    QString mText;
    QList<Link> mLinks;
    Qt::Alignment mAlignment = Qt::AlignLeft;
};
