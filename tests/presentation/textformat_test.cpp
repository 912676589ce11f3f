// The format rule every localised text goes through: sequential and positional placeholders,
// percent signs, and arguments missing or to spare. Each case of data/textformat.json is a format,
// what it gives with the arguments "A" and "B", and maybe why.
#include "ui/localization.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

TEST(TextFormat, Placeholders)
{
    QFile file(QStringLiteral(LUMIVEX_PRESENTATION_DATA "/textformat.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray cases = QJsonDocument::fromJson(file.readAll()).array();
    ASSERT_GE(cases.size(), 10);
    for (const QJsonValue &c : cases) {
        const QString format = c[0].toString();
        EXPECT_EQ(formatText(format, {QStringLiteral("A"), QStringLiteral("B")}), c[1].toString()) << format.toStdString();
    }
}
