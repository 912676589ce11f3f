// The string tables: every language answers every key, takes the arguments the code passes in the
// order it passes them, and can be shown with the installed fonts.
#include "tests/localization/localizationsupport.h"
#include "ui/localization.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

// How many arguments the code passes with each key, and which of them every language must show
// because the text means nothing without them.
struct KeyArguments
{
    const char *key;
    int passed;
    std::set<int> shown;
};

const std::vector<KeyArguments> kKeyArguments = {
    {"MainMenu_Application_Name", 1, {1}},
    {"MainMenu_About", 1, {1}},
    {"MainMenu_Preferences", 0, {}},
    {"MainMenu_Services", 0, {}},
    {"MainMenu_HideApplication", 1, {1}},
    {"MainMenu_HideOthers", 0, {}},
    {"MainMenu_ShowAll", 0, {}},
    {"MainMenu_QuitApplication", 1, {1}},
    {"Application_Title", 1, {1}},
    {"Button_Update", 0, {}},
    {"Button_OK", 0, {}},
    {"Button_Cancel", 0, {}},
    {"Status_Msg_Proceed_To_Update", 0, {}},
    {"Status_Msg_Proceed_To_Update_Warning", 1, {1}},
    {"Status_Msg_Please_Connect_Your_Cam", 1, {1}},
    {"Status_Msg_Ready_To_Update", 1, {1}},
    {"Status_Msg_New_Firmware_Available", 2, {1, 2}},
    {"Status_Msg_Already_Up_To_Date", 3, {1, 2}},
    {"Status_Msg_Deivce_Mismatch", 5, {1}},
    {"Status_Msg_Download_Link", 0, {}},
    {"Status_Msg_Update_In_Progress", 0, {}},
    {"Status_Msg_Update_Completed", 2, {1, 2}},
    {"Status_Msg_Update_Failed", 0, {}},
    {"About_Window_Version", 0, {}},
};

// The argument positions a format reads, and what in it is not a placeholder the formatter knows.
struct Placeholders
{
    std::set<int> used;
    bool sequential = false;
    bool positional = false;
    QStringList strays;
};

Placeholders placeholders(const QString &format)
{
    Placeholders found;
    int next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != u'%')
            continue;
        if (i + 1 < format.size() && format[i + 1] == u'%') {
            ++i;
        } else if (i + 1 < format.size() && format[i + 1] == u'@') {
            found.used.insert(++next);
            found.sequential = true;
            ++i;
        } else {
            qsizetype j = i + 1;
            while (j < format.size() && format[j].isDigit())
                ++j;
            if (j > i + 1 && j + 1 < format.size() && format[j] == u'$' && format[j + 1] == u'@') {
                found.used.insert(format.mid(i + 1, j - i - 1).toInt());
                found.positional = true;
                i = j + 1;
            } else {
                found.strays.append(format.mid(i, 4));
            }
        }
    }
    return found;
}

} // namespace

TEST(StringTables, EveryLanguageHoldsEveryKeyOfTheEnglishTable)
{
    const std::vector<TranslationFile> files = readTranslationFiles();
    const TranslationFile &english = translationFile(files, QStringLiteral("en"));
    ASSERT_EQ(english.texts.size(), qsizetype(kKeyArguments.size()));

    QStringList found;
    for (const TranslationFile &file : files) {
        SCOPED_TRACE(file.language.toStdString());
        found.append(file.language);
        EXPECT_EQ(file.declaredLanguage, file.language);
        EXPECT_TRUE(file.problems.isEmpty()) << file.problems.join(u"; ").toStdString();
        EXPECT_EQ(file.texts.keys(), english.texts.keys());
    }
    for (const QString &language : shippedLanguages())
        EXPECT_TRUE(found.contains(language)) << "no table for " << language.toStdString();
}

TEST(StringTables, NoTranslationReadsAnArgumentTheCodeDoesNotPass)
{
    const std::vector<TranslationFile> files = readTranslationFiles();
    QStringList contracted;
    for (const KeyArguments &k : kKeyArguments)
        contracted.append(QString::fromLatin1(k.key));
    std::sort(contracted.begin(), contracted.end());
    // A new key needs its argument count here before any language may use it.
    EXPECT_EQ(translationFile(files, QStringLiteral("en")).texts.keys(), contracted);

    for (const TranslationFile &file : files) {
        for (const KeyArguments &k : kKeyArguments) {
            const QString text = file.texts.value(QString::fromLatin1(k.key));
            SCOPED_TRACE(QStringLiteral("%1 %2: %3").arg(file.language, QLatin1String(k.key), text).toStdString());
            const Placeholders p = placeholders(text);
            EXPECT_TRUE(p.strays.isEmpty()) << "unknown % sequence: " << p.strays.join(u", ").toStdString();
            // Mixing the two styles makes the order hard to read and easy to get wrong.
            EXPECT_FALSE(p.sequential && p.positional);
            for (int position : p.used) {
                EXPECT_GE(position, 1);
                EXPECT_LE(position, k.passed);
            }
            for (int position : k.shown)
                EXPECT_TRUE(p.used.count(position)) << "does not show argument " << position;
        }
    }
}

TEST(StringTables, TheMismatchMessageHoldsItsDownloadLinkOnce)
{
    // The link is found by its first occurrence in the message, so it must be there, and only there.
    const QString camera = QStringLiteral("LUMIVEX Camera");
    const QString product = QStringLiteral("LUMIVEX S");
    for (const TranslationFile &file : readTranslationFiles()) {
        SCOPED_TRACE(file.language.toStdString());
        const QString link = file.texts.value(QStringLiteral("Status_Msg_Download_Link"));
        const QString title = formatText(file.texts.value(QStringLiteral("Application_Title")), {camera});
        QStringList args{camera, product, camera, title, link};
        if (file.language == u"ja")
            args = {camera, product, camera, link, title};
        else if (file.language == u"fr")
            args[3] = formatText(u"outil de mise à jour pour %@", {product});
        else if (file.language == u"de")
            args[3] = formatText(u"%@ Firmware Aktualisierung", {camera});
        else if (file.language == u"it")
            args[3] = formatText(u"aggiornamento del firmware di %@", {camera});

        const QString message = formatText(file.texts.value(QStringLiteral("Status_Msg_Deivce_Mismatch")), args);
        EXPECT_EQ(message.count(link), 1) << message.toStdString();
        EXPECT_TRUE(message.contains(camera)) << message.toStdString();
    }
}

TEST(StringTables, TheCompiledTablesAnswerWithTheWrittenTexts)
{
    for (const TranslationFile &file : readTranslationFiles()) {
        SCOPED_TRACE(file.language.toStdString());
        const ScopedStringTables tables(file.language);
        for (auto it = file.texts.cbegin(); it != file.texts.cend(); ++it)
            EXPECT_EQ(localizedText(it.key().toUtf8().constData()), it.value()) << it.key().toStdString();
        // A key that no table holds reads as itself, in every language.
        EXPECT_EQ(localizedText("Status_Msg_No_Such_Key"), QStringLiteral("Status_Msg_No_Such_Key"));
        EXPECT_EQ(localizedFormat("Status_Msg_No_Such_Key", {QStringLiteral("LUMIVEX T")}),
                  QStringLiteral("Status_Msg_No_Such_Key"));
    }
}

TEST(StringTables, EveryCharacterHasAGlyphInAnInstalledFont)
{
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    ASSERT_FALSE(japanese.isEmpty()) << "no Japanese font installed (scripts/install-deps: fonts-noto-cjk)";
    std::vector<QFontMetrics> fonts{QFontMetrics(QApplication::font())};
    for (const QString &family : japanese)
        fonts.emplace_back(QFont(family));

    for (const TranslationFile &file : readTranslationFiles()) {
        for (const QString &text : file.texts) {
            for (const char32_t c : text.toUcs4()) {
                const bool covered = std::any_of(fonts.begin(), fonts.end(),
                                                 [c](const QFontMetrics &m) { return m.inFontUcs4(c); });
                EXPECT_TRUE(covered) << file.language.toStdString() << ": U+" << std::hex << unsigned(c)
                                     << " in " << text.toStdString();
            }
        }
    }
}
