// Texts the user reads: looked up by key in the string tables, and formatted with string arguments.
#include "text/localization.h"

#include <QCoreApplication>
#include <QFile>
#include <QTranslator>

QString installStringTables(QCoreApplication &app, const QString &language)
{
    // Translators installed later are asked first: English goes in first as the fallback.
    const auto install = [&app](const QString &code) {
        const QString path = QStringLiteral(":/translations/lumivex_%1.qm").arg(code);
        if (!QFile::exists(path))
            return false;
        auto *translator = new QTranslator(&app);
        if (!translator->load(path)) {
            delete translator;
            return false;
        }
        return QCoreApplication::installTranslator(translator);
    };
    install(QStringLiteral("en"));
    if (language != QLatin1String("en") && install(language))
        return language;
    return QStringLiteral("en");
}

QString localizedText(const char *key)
{
    // qtTrId answers the id itself when no installed table holds it.
    return qtTrId(key);
}

QString formatText(QStringView format, const QStringList &args)
{
    QString out;
    out.reserve(format.size());
    qsizetype next = 0;
    const auto argument = [&args](qsizetype index) {
        return index >= 0 && index < args.size() ? args.at(index) : QString();
    };

    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out.append(c);
            continue;
        }
        const QChar d = format[i + 1];
        if (d == u'%') {
            out.append(u'%');
            ++i;
        } else if (d == u'@') {
            out.append(argument(next++));
            ++i;
        } else if (d.isDigit()) {
            qsizetype j = i + 1;
            qsizetype position = 0;
            while (j < format.size() && format[j].isDigit() && position < 1000)
                position = position * 10 + format[j++].digitValue();
            if (j + 1 < format.size() && format[j] == u'$' && format[j + 1] == u'@' && position > 0) {
                out.append(argument(position - 1));
                i = j + 1;
            } else {
                out.append(c);
            }
        } else {
            out.append(c);
        }
    }
    return out;
}

QString localizedFormat(const char *key, const QStringList &args)
{
    return formatText(localizedText(key), args);
}
