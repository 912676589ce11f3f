// Helpers of the localisation tests: the string tables as written in the .ts files, and the compiled
// tables of one language installed for the length of a test.
#include "tests/localization/localizationsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTranslator>
#include <QXmlStreamReader>

std::map<QString, TranslationFile> readTranslationFiles()
{
    std::map<QString, TranslationFile> files;
    const QDir dir(QStringLiteral(LUMIVEX_TRANSLATIONS_DIR));
    for (const QString &name : dir.entryList({QStringLiteral("lumivex_*.ts")}, QDir::Files)) {
        TranslationFile &file = files[QFileInfo(name).completeBaseName().section(u'_', 1)];
        QFile in(dir.filePath(name));
        if (!in.open(QIODevice::ReadOnly))
            file.problems.append(QStringLiteral("cannot open %1").arg(name));
        QXmlStreamReader xml(&in);
        QString id;
        while (in.isOpen() && !xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"TS")
                file.declaredLanguage = xml.attributes().value(QLatin1String("language")).toString();
            else if (xml.name() == u"message")
                id = xml.attributes().value(QLatin1String("id")).toString();
            else if (xml.name() == u"translation") {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                const QString text = xml.readElementText();
                if (!type.isEmpty() || text.isEmpty() || file.texts.contains(id))
                    file.problems.append(QStringLiteral("%1 is marked \"%2\", empty or repeated").arg(id, type));
                file.texts.insert(id, text);
            }
        }
        if (xml.hasError())
            file.problems.append(xml.errorString());
    }
    return files;
}

ScopedStringTables::ScopedStringTables(const QString &language)
{
    for (const QString &code : {QStringLiteral("en"), language}) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(QStringLiteral(":/translations/lumivex_%1.qm").arg(code))) {
            QCoreApplication::installTranslator(translator.get());
            translators.push_back(std::move(translator));
        }
    }
}

ScopedStringTables::~ScopedStringTables()
{
    for (const auto &translator : translators)
        QCoreApplication::removeTranslator(translator.get());
}
