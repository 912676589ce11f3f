// The string tables and the format rule every localised text goes through.
#include "ui/localization.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

TEST(TextFormat, Placeholders)
{
    struct Case
    {
        const char16_t *format;
        QStringList args;
        const char16_t *expected;
    };
    const QStringList ab = {QStringLiteral("A"), QStringLiteral("B")};
    const std::vector<Case> cases = {
        {u"Please connect your %@ camera.", {QStringLiteral("LUMIVEX T")}, u"Please connect your LUMIVEX T camera."},
        {u"%@ then %@", ab, u"A then B"},
        {u"%2$@ before %1$@", ab, u"B before A"},
        {u"%1$@ and %1$@ again", ab, u"A and A again"},
        {u"%2$@ %@", ab, u"B A"}, // positional arguments leave the running count alone
        {u"100%% sure", {}, u"100% sure"},
        {u"%%@ is literal", ab, u"%@ is literal"},
        {u"%@ %@ %@", ab, u"A B "}, // a placeholder without an argument gives nothing
        {u"%3$@|%0$@", ab, u"|%0$@"},
        {u"%d %s % x 50%", ab, u"%d %s % x 50%"},
        {u"%12", ab, u"%12"},
        {u"%1$", ab, u"%1$"},
        {u"", ab, u""},
    };
    for (const Case &c : cases) {
        const QString format = QString::fromUtf16(c.format);
        EXPECT_EQ(formatText(format, c.args), QString::fromUtf16(c.expected)) << format.toStdString();
    }
}

TEST(TextFormat, EnglishIsTheFallbackAndAMissingKeyShowsItself)
{
    // A language without a table of its own ("C" here) still reads English, never raw keys.
    EXPECT_EQ(installStringTables(*QCoreApplication::instance(), QStringLiteral("C")), QStringLiteral("en"));
    EXPECT_EQ(localizedText("Button_Update"), QStringLiteral("Update"));
    EXPECT_EQ(localizedFormat("Status_Msg_New_Firmware_Available", {QStringLiteral("0102"), QStringLiteral("0100")}),
              QStringLiteral("Firmware 0102 is available (installed: 0100)."));
    EXPECT_EQ(localizedFormat("Status_Msg_Update_In_Progress"), QString::fromUtf8("Updating firmware… Do not unplug the camera."));
    EXPECT_EQ(localizedText("Status_Msg_No_Such_Key"), QStringLiteral("Status_Msg_No_Such_Key"));
}
