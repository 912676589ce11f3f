// Helpers of the localisation tests: the string tables as written in the .ts files, the compiled
// tables of one language installed for the length of a test, and watching the application quit.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QTranslator;

struct TranslationFile
{
    QString language;            // from the file name: lumivex_<language>.ts
    QString declaredLanguage;    // the TS element's language attribute
    QMap<QString, QString> texts; // message id → translation
    QStringList problems;        // unfinished, empty or repeated messages, XML errors
};

// Every lumivex_*.ts of the source tree, English first.
std::vector<TranslationFile> readTranslationFiles();
const TranslationFile &translationFile(const std::vector<TranslationFile> &files, const QString &language);

// The languages the updater ships.
QStringList shippedLanguages();

// Installs the embedded English table and, above it, the one of language, as the application does
// at start; removes both again when it goes.
class ScopedStringTables
{
public:
    explicit ScopedStringTables(const QString &language);
    ~ScopedStringTables();
    ScopedStringTables(const ScopedStringTables &) = delete;
    ScopedStringTables &operator=(const ScopedStringTables &) = delete;

private:
    std::vector<std::unique_ptr<QTranslator>> mTranslators;
};

// Runs the event loop around action (at most timeoutMs) and tells whether the application then
// found its last window closed and quit, as it does when the user closes the main window.
bool quitsTheApplication(const std::function<void()> &action, int timeoutMs = 3000);
