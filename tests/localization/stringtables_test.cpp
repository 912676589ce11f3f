// The string tables: every language answers every key, takes the arguments the code passes in the
// order it passes them, and can be shown with the installed fonts. The mismatch message's words
// and link in every language are checked by the update decision's table.
#include "tests/localization/localizationsupport.h"
#include "text/localization.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

// How many arguments the code passes with each key that takes any, and which of them every
// language must show because the text means nothing without them. A key not listed takes none.
struct KeyArguments { int passed; std::set<int> shown; };

const std::map<QString, KeyArguments> kKeyArguments = {
    {"MainMenu_Application_Name", {1, {1}}}, {"MainMenu_About", {1, {1}}}, {"MainMenu_HideApplication", {1, {1}}},
    {"MainMenu_QuitApplication", {1, {1}}}, {"Application_Title", {1, {1}}}, {"Status_Msg_Proceed_To_Update_Warning", {1, {1}}},
    {"Status_Msg_Please_Connect_Your_Cam", {1, {1}}}, {"Status_Msg_Ready_To_Update", {1, {1}}},
    {"Status_Msg_New_Firmware_Available", {2, {1, 2}}}, {"Status_Msg_Already_Up_To_Date", {3, {1, 2}}},
    {"Status_Msg_Deivce_Mismatch", {5, {1}}}, {"Status_Msg_Update_Completed", {2, {1, 2}}}, {"Quit_During_Update_Warning", {1, {1}}},
    {"Status_Msg_Update_Refused_Flash_Part", {1, {1}}}, {"Status_Msg_Update_Refused_Too_Large", {1, {1}}},
};

} // namespace

// Every language answers every key from its compiled table as its .ts file words it; a text reads
// only arguments the code passes ("%@" the next, "%N$@" the Nth, "%%" a percent sign, any other %
// a stray), shows those it means nothing without, and has a glyph in an installed font for every
// character.
TEST(StringTables, EveryTableHoldsEveryKeyReadsOnlyPassedArgumentsAndCanBeShown)
{
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    ASSERT_FALSE(japanese.isEmpty()) << "no Japanese font installed (scripts/install-deps: fonts-noto-cjk)";
    std::vector<QFontMetrics> fonts{QFontMetrics(QApplication::font())};
    for (const QString &family : japanese)
        fonts.emplace_back(QFont(family));
    static const QRegularExpression placeholder(QStringLiteral("%(?:(@)|(\\d+)\\$@|%)?"));

    const auto files = readTranslationFiles();
    const QMap<QString, QString> &english = files.at(QStringLiteral("en")).texts;
    ASSERT_FALSE(english.isEmpty());
    for (const QString &language : shippedLanguages())
        EXPECT_TRUE(files.count(language)) << "no table for " << language.toStdString();
    for (const auto &[language, file] : files) {
        EXPECT_EQ(file.declaredLanguage, language);
        EXPECT_TRUE(file.problems.isEmpty()) << file.problems.join(u"; ").toStdString();
        EXPECT_EQ(file.texts.keys(), english.keys()) << language.toStdString();
        const ScopedStringTables tables(language);
        for (auto it = file.texts.cbegin(); it != file.texts.cend(); ++it) {
            SCOPED_TRACE(QStringLiteral("%1 %2: %3").arg(language, it.key(), it.value()).toStdString());
            EXPECT_EQ(localizedText(it.key().toUtf8().constData()), it.value());
            const KeyArguments k = kKeyArguments.count(it.key()) ? kKeyArguments.at(it.key()) : KeyArguments{0, {}};
            std::set<int> used;
            int next = 0;
            bool sequential = false, positional = false;
            for (const QRegularExpressionMatch &m : placeholder.globalMatch(it.value())) {
                EXPECT_GT(m.capturedLength(), 1) << "unknown % sequence at " << m.capturedStart();
                if (m.hasCaptured(1)) {
                    used.insert(++next);
                    sequential = true;
                } else if (m.hasCaptured(2)) {
                    used.insert(m.captured(2).toInt());
                    positional = true;
                }
            }
            // Mixing the two styles makes the order hard to read and easy to get wrong.
            EXPECT_FALSE(sequential && positional);
            for (int position : used)
                EXPECT_TRUE(position >= 1 && position <= k.passed) << "reads argument " << position;
            for (int position : k.shown)
                EXPECT_TRUE(used.count(position)) << "does not show argument " << position;
            for (const char32_t c : it.value().toUcs4())
                EXPECT_TRUE(std::any_of(fonts.begin(), fonts.end(), [c](const QFontMetrics &m) { return m.inFontUcs4(c); }))
                    << "no glyph for U+" << std::hex << unsigned(c);
        }
        // A key that no table holds reads as itself, in every language.
        EXPECT_EQ(localizedFormat("Status_Msg_No_Such_Key", {QStringLiteral("LUMIVEX T")}), QStringLiteral("Status_Msg_No_Such_Key"));
    }
}
