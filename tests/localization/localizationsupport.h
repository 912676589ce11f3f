// Helpers of the localisation tests: the string tables as written in the .ts files, the compiled
// tables of one language installed for the length of a test, and watching the application quit.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QTranslator;

struct TranslationFile
{
    QString declaredLanguage;    // the TS element's language attribute
    QMap<QString, QString> texts; // message id → translation
    QStringList problems;        // unfinished, empty or repeated messages, XML errors
};

// Every lumivex_<language>.ts of the source tree, by language.
std::map<QString, TranslationFile> readTranslationFiles();

// The languages the updater ships.
inline QStringList shippedLanguages() { return {"en", "fr", "de", "it", "nl", "ja"}; }

// Installs the embedded English table and, above it, the one of language, as the application does
// at start; removes both again when it goes.
class ScopedStringTables
{
public:
    explicit ScopedStringTables(const QString &language);
    ~ScopedStringTables();

private:
    std::vector<std::unique_ptr<QTranslator>> mTranslators;
};

// Runs the event loop around action (at most timeoutMs) and tells whether the application then
// found its last window closed and quit, as it does when the user closes the main window.
bool quitsTheApplication(const std::function<void()> &action, int timeoutMs = 3000);
