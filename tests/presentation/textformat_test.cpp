// The format rule every localised text goes through: sequential and positional placeholders,
// percent signs, and arguments missing or to spare.
#include "ui/localization.h"

#include <gtest/gtest.h>

TEST(TextFormat, Placeholders)
{
    const QStringList ab = {QStringLiteral("A"), QStringLiteral("B")};
    const std::pair<const char16_t *, const char16_t *> cases[] = {
        {u"%@ then %@", u"A then B"},
        {u"%2$@ before %1$@", u"B before A"},
        {u"%1$@ and %1$@ again", u"A and A again"},
        {u"%2$@ %@", u"B A"}, // positional arguments leave the running count alone
        {u"100%% sure", u"100% sure"},
        {u"%%@ is literal", u"%@ is literal"},
        {u"%@ %@ %@", u"A B "}, // a placeholder without an argument gives nothing
        {u"%3$@|%0$@", u"|%0$@"},
        {u"%d %s % x 50%", u"%d %s % x 50%"},
        {u"%12", u"%12"},
        {u"%1$", u"%1$"},
        {u"", u""},
    };
    for (const auto &[format, expected] : cases)
        EXPECT_EQ(formatText(QString::fromUtf16(format), ab), QString::fromUtf16(expected)) << QString::fromUtf16(format).toStdString();
}
