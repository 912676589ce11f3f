// The status field: the link table over its layout, links painted blue, the pointing hand over
// links, and clicks that open exactly the clicked link once.
#include "ui/hyperlinktextfield.h"
#include "ui/textmeasure.h"

#include "tests/widgets/widgettestsupport.h"

#include <QFontMetricsF>
#include <QImage>

#include <gtest/gtest.h>

namespace {

const QUrl kFirst(QStringLiteral("https://example.com/download"));
const QUrl kSecond(QStringLiteral("https://example.com/help"));

StatusText linked(const QString &characters, const QString &linkText, const QUrl &url)
{
    StatusText text(characters);
    text.addLink(characters.indexOf(linkText), linkText.size(), url);
    return text;
}

class HyperlinkTextFieldTest : public ::testing::Test
{
protected:
    HyperlinkTextFieldTest()
    {
        field.setFont(systemFontOfSize(15));
        field.resize(400, 60);
    }

    HyperlinkTextField field;
    OpenedUrls opened{field};
};

TEST_F(HyperlinkTextFieldTest, WrappedLinkHasTwoEntriesAndOpensOnceFromEither)
{
    // Wide enough for "Read alpha", so "beta" wraps onto the second line.
    field.setAlignment(Qt::AlignLeft);
    field.resize(int(QFontMetricsF(field.font()).horizontalAdvance(QStringLiteral("Read alpha"))) + 4, 80);
    field.setStringValue(linked(QStringLiteral("Read alpha beta"), QStringLiteral("alpha beta"), kFirst));

    const auto infos = field.hyperlinkInfos();
    ASSERT_TRUE(infos && infos->size() == 2);
    for (const HyperlinkInfo &info : *infos)
        EXPECT_TRUE(info.location == 5 && info.length == 10 && info.url == kFirst);
    EXPECT_GE(infos->at(1).rect.top(), infos->at(0).rect.bottom() - 0.5);
    EXPECT_EQ(field.cursorRects(), (QList<QRectF>{infos->at(0).rect, infos->at(1).rect}));

    click(&field, infos->at(1).rect.center());
    EXPECT_EQ(opened.urls->size(), 1);
    click(&field, infos->at(0).rect.center());
    EXPECT_EQ(*opened.urls, (QList<QUrl>{kFirst, kFirst}));
}

TEST_F(HyperlinkTextFieldTest, TwoLinksInTextOrderPaintedBlueAndOnlyTheClickedOneOpens)
{
    StatusText text(QStringLiteral("See the download page or the help page now."));
    // Added out of order: the table follows the text.
    text.addLink(29, 9, kSecond);
    text.addLink(8, 13, kFirst);
    field.setStringValue(text);

    const auto infos = field.hyperlinkInfos();
    ASSERT_TRUE(infos && infos->size() == 2);
    EXPECT_TRUE(infos->at(0).location == 8 && infos->at(0).length == 13 && infos->at(0).url == kFirst);
    EXPECT_EQ(infos->at(1).url, kSecond);
    // Each rectangle spans its link's characters only, and what is painted there is blue.
    EXPECT_NEAR(infos->at(0).rect.width(), QFontMetricsF(field.font()).horizontalAdvance(QStringLiteral("download page")), 1);
    EXPECT_LT(infos->at(0).rect.right(), infos->at(1).rect.left());
    const QImage image = field.grab().toImage();
    const QRect link = infos->at(0).rect.toAlignedRect();
    bool blue = false;
    for (int y = link.top(); y < link.bottom(); ++y)
        for (int x = link.left(); x < link.right(); ++x) {
            const QRgb p = image.pixel(int(x * image.devicePixelRatio()), int(y * image.devicePixelRatio()));
            blue = blue || (qBlue(p) > 200 && qRed(p) < 80 && qGreen(p) < 80);
        }
    EXPECT_TRUE(blue);

    click(&field, infos->at(1).rect.center());
    EXPECT_EQ(*opened.urls, QList<QUrl>{kSecond});
    // Between the links ("or") nothing opens, nor does the right button.
    click(&field, {(infos->at(0).rect.right() + infos->at(1).rect.left()) / 2, infos->at(0).rect.center().y()});
    click(&field, infos->at(0).rect.center(), Qt::RightButton);
    EXPECT_EQ(opened.urls->size(), 1);
    click(&field, infos->at(0).rect.center());
    EXPECT_EQ(*opened.urls, (QList<QUrl>{kSecond, kFirst}));
}

TEST_F(HyperlinkTextFieldTest, ClickBesideTheTextTakesTheNearestCharacter)
{
    field.setAlignment(Qt::AlignLeft);
    field.setStringValue(linked(QStringLiteral("Get it from our download page"), QStringLiteral("download page"), kFirst));
    const QRectF link = field.hyperlinkInfos()->at(0).rect;

    // Right of the line's end: the last character, which is part of the link.
    click(&field, {field.width() - 2.0, link.center().y()});
    EXPECT_EQ(opened.urls->size(), 1);
    // Below the last line, under the link.
    click(&field, {link.center().x(), field.height() - 2.0});
    EXPECT_EQ(opened.urls->size(), 2);
    // Below the last line, under "Get".
    click(&field, {2, field.height() - 2.0});
    EXPECT_EQ(opened.urls->size(), 2);
}

TEST_F(HyperlinkTextFieldTest, PointingHandOnlyOverLinksAndNoLinksInPlainText)
{
    field.setStringValue(linked(QStringLiteral("Get it from our download page."), QStringLiteral("download page"), kFirst));
    const QRectF link = field.cursorRects().value(0);
    ASSERT_FALSE(link.isEmpty());
    sendMouse(&field, QEvent::MouseMove, link.center());
    EXPECT_EQ(field.cursor().shape(), Qt::PointingHandCursor);
    sendMouse(&field, QEvent::MouseMove, {link.left() - 20, link.center().y()});
    EXPECT_EQ(field.cursor().shape(), Qt::ArrowCursor);

    // A plain text that follows has no link table, no rectangles and opens nothing.
    field.setStringValue(QStringLiteral("Please connect your LUMIVEX S camera."));
    EXPECT_FALSE(field.hyperlinkInfos().has_value());
    EXPECT_TRUE(field.cursorRects().isEmpty());
    click(&field, link.center());
    EXPECT_TRUE(opened.urls->isEmpty());
}

TEST_F(HyperlinkTextFieldTest, SizeToFitWrapsAtThePreferredWidth)
{
    const double line = QFontMetricsF(field.font()).height();
    field.setPreferredMaxLayoutWidth(200);
    field.setStringValue(QStringLiteral("Keep your camera connected and this window open until the update has finished."));
    field.sizeToFit();
    EXPECT_LE(field.width(), 200);
    EXPECT_GT(field.height(), 2 * line - 1);

    field.setPreferredMaxLayoutWidth(0);
    field.sizeToFit();
    EXPECT_GT(field.width(), 400);
    EXPECT_LT(field.height(), 2 * line);
}

} // namespace
