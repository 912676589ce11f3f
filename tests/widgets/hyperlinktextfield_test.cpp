// The status field: the link table over its layout, links painted blue, the pointing hand over
// links, clicks that open exactly the clicked link once, and sizing at the preferred width.
#include "ui/hyperlinktextfield.h"
#include "ui/textmeasure.h"

#include "tests/widgets/widgettestsupport.h"

#include <QFontMetricsF>
#include <QImage>

#include <gtest/gtest.h>

namespace {

const QUrl kFirst(QStringLiteral("https://example.com/download"));
const QUrl kSecond(QStringLiteral("https://example.com/help"));

struct HyperlinkTextFieldTest : ::testing::Test
{
    HyperlinkTextFieldTest()
    {
        field.setFont(systemFontOfSize(15));
        field.resize(400, 60);
    }

    // A text whose only link is linkText.
    void show(const QString &characters, const QString &linkText)
    {
        StatusText text(characters);
        text.addLink(characters.indexOf(linkText), linkText.size(), kFirst);
        field.setStringValue(text);
    }

    HyperlinkTextField field;
    OpenedUrls opened{field};
};

TEST_F(HyperlinkTextFieldTest, WrappedLinkHasTwoEntriesAndOpensOnceFromEither)
{
    // Wide enough for "Read alpha", so "beta" wraps onto the second line.
    field.setAlignment(Qt::AlignLeft);
    field.resize(int(QFontMetricsF(field.font()).horizontalAdvance(QStringLiteral("Read alpha"))) + 4, 80);
    show(QStringLiteral("Read alpha beta"), QStringLiteral("alpha beta"));

    const auto infos = field.hyperlinkInfos();
    ASSERT_TRUE(infos && infos->size() == 2);
    for (const HyperlinkInfo &info : *infos)
        EXPECT_TRUE(info.location == 5 && info.length == 10 && info.url == kFirst);
    EXPECT_GE(infos->at(1).rect.top(), infos->at(0).rect.bottom() - 0.5);
    EXPECT_EQ(field.cursorRects(), (QList<QRectF>{infos->at(0).rect, infos->at(1).rect}));

    click(&field, infos->at(1).rect.center());
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
    const QImage image = field.grab().toImage();
    const QRect link = infos->at(0).rect.toAlignedRect();
    bool blue = false;
    for (int y = link.top(); y < link.bottom(); ++y)
        for (int x = link.left(); x < link.right(); ++x) {
            const QRgb p = image.pixel(int(x * image.devicePixelRatio()), int(y * image.devicePixelRatio()));
            blue = blue || (qBlue(p) > 200 && qRed(p) < 80 && qGreen(p) < 80);
        }
    EXPECT_TRUE(blue);

    // Between the links ("or") nothing opens, nor does the right button.
    click(&field, infos->at(1).rect.center());
    click(&field, {(infos->at(0).rect.right() + infos->at(1).rect.left()) / 2, infos->at(0).rect.center().y()});
    click(&field, infos->at(0).rect.center(), Qt::RightButton);
    click(&field, infos->at(0).rect.center());
    EXPECT_EQ(*opened.urls, (QList<QUrl>{kSecond, kFirst}));
}

TEST_F(HyperlinkTextFieldTest, ClicksBesideTheTextTakeTheNearestCharacterAndTheHandShowsOverLinksOnly)
{
    field.setAlignment(Qt::AlignLeft);
    show(QStringLiteral("Get it from our download page"), QStringLiteral("download page"));
    const QRectF link = field.hyperlinkInfos()->at(0).rect;
    // Right of the line's end (the link's last character), below the link, and below "Get".
    click(&field, {field.width() - 2.0, link.center().y()});
    click(&field, {link.center().x(), field.height() - 2.0});
    click(&field, {2, field.height() - 2.0});
    EXPECT_EQ(opened.urls->size(), 2);

    sendMouse(&field, QEvent::MouseMove, link.center());
    EXPECT_EQ(field.cursor().shape(), Qt::PointingHandCursor);
    sendMouse(&field, QEvent::MouseMove, {link.left() - 20, link.center().y()});
    EXPECT_EQ(field.cursor().shape(), Qt::ArrowCursor);

    // A plain text that follows has no link table, no rectangles and opens nothing.
    field.setStringValue(QStringLiteral("Please connect your LUMIVEX S camera."));
    EXPECT_FALSE(field.hyperlinkInfos().has_value());
    EXPECT_TRUE(field.cursorRects().isEmpty());
    click(&field, link.center());
    EXPECT_EQ(opened.urls->size(), 2);
}

TEST_F(HyperlinkTextFieldTest, SizeToFitWrapsAtThePreferredWidth)
{
    const double line = QFontMetricsF(field.font()).height();
    field.setStringValue(QStringLiteral("Keep your camera connected and this window open until the update has finished."));
    for (const int width : {200, 0}) { // 0: no preferred width, one line
        field.setPreferredMaxLayoutWidth(width);
        field.sizeToFit();
        EXPECT_TRUE(width ? field.width() <= 200 && field.height() > 2 * line - 1 : field.width() > 400 && field.height() < 2 * line);
    }
}

} // namespace
