// Text made safe to print on one line.
#include "platform/printable.h"

#include <QList>
#include <QStringDecoder>

namespace {

QString escaped(char32_t c)
{
    switch (c) {
    case u'\n': return QStringLiteral("\\n");
    case u'\r': return QStringLiteral("\\r");
    case u'\t': return QStringLiteral("\\t");
    case u'\\': return QStringLiteral("\\\\");
    default: break;
    }
    return c < 0x100 ? QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'))
                     : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
}

bool needsEscape(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return c == u'\\';
    }
}

// The length of the UTF-8 sequence a lead byte starts; 0 for a byte that cannot lead one.
qsizetype sequenceLength(uchar lead)
{
    return lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
}

} // namespace

QString printable(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (needsEscape(c))
            out += escaped(c);
        else
            out += QString::fromUcs4(&c, 1);
    }
    return out;
}

QString printableBytes(QByteArrayView bytes)
{
    QString out;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = sequenceLength(uchar(bytes[i]));
        if (length > 0 && i + length <= bytes.size()) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString decoded = decoder(bytes.sliced(i, length));
            if (!decoder.hasError()) {
                out += printable(decoded);
                i += length;
                continue;
            }
        }
        out += escaped(uchar(bytes[i]));
        ++i;
    }
    return out;
}
