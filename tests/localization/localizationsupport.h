// Helpers of the localisation tests: the string tables as written in the .ts files, and the compiled
// tables of one language installed for the length of a test.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

class QTranslator;

// The TS element's language attribute, message id → translation, and unfinished, empty or repeated
// messages and XML errors.
struct TranslationFile { QString declaredLanguage; QMap<QString, QString> texts; QStringList problems; };

// Every lumivex_<language>.ts of the source tree, by language.
std::map<QString, TranslationFile> readTranslationFiles();

// The languages the updater ships.
inline QStringList shippedLanguages() { return {"en", "fr", "de", "it", "nl", "ja"}; }

// Installs the embedded English table and, above it, the one of language, as the application does
// at start; removes both again when it goes.
struct ScopedStringTables
{
    explicit ScopedStringTables(const QString &language);
    ~ScopedStringTables();
    std::vector<std::unique_ptr<QTranslator>> translators;
};
