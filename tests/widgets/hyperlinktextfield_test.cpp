// The status field: the link table over its layout, links painted blue, the pointing hand over
// links, clicks that open exactly the clicked link once, and sizing at the preferred width.
#include "ui/hyperlinktextfield.h"
#include "ui/textmeasure.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

const QUrl kFirst(QStringLiteral("https://example.com/download"));
const QUrl kSecond(QStringLiteral("https://example.com/help"));

// Clicks and pointer moves delivered straight to the widget.
void sendMouse(QWidget *widget, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
                      type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void click(QWidget *widget, QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(widget, QEvent::MouseButtonPress, at, button);
    sendMouse(widget, QEvent::MouseButtonRelease, at, button);
}

struct HyperlinkTextFieldTest : ::testing::Test
{
    HyperlinkTextFieldTest()
    {
        field.setFont(systemFontOfSize(15));
        field.resize(400, 60);
        field.setAlignment(Qt::AlignLeft);
        field.setUrlOpener([this](const QUrl &url) { return opened.append(url), true; });
    }

    QList<QUrl> opened; // what the field was asked to open
    HyperlinkTextField field;
};

// A link that wraps has an entry per line, in text order with the others whatever order they
// were added in; each entry spans its link's characters only, is painted blue, shows the hand and
// opens its link once. Between the links, and with the right button, nothing opens.
TEST_F(HyperlinkTextFieldTest, TheLinkTableFollowsTheLayoutAndOnlyTheClickedLinkOpens)
{
    // Wide enough for "See alpha", so "beta or" wraps onto the second line and "help" onto the third.
    const QFontMetricsF metrics(field.font());
    field.resize(int(metrics.horizontalAdvance(QStringLiteral("See alpha"))) + 4, 80);
    StatusText text(QStringLiteral("See alpha beta or help"));
    text.addLink(18, 4, kSecond);
    text.addLink(4, 10, kFirst);
    field.setStringValue(text);

    const auto infos = field.hyperlinkInfos();
    ASSERT_TRUE(infos && infos->size() == 3);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(infos->at(i).location == 4 && infos->at(i).length == 10 && infos->at(i).url == kFirst) << i;
    EXPECT_TRUE(infos->at(2).location == 18 && infos->at(2).length == 4 && infos->at(2).url == kSecond);
    EXPECT_GE(infos->at(1).rect.top(), infos->at(0).rect.bottom() - 0.5);
    EXPECT_NEAR(infos->at(2).rect.width(), metrics.horizontalAdvance(QStringLiteral("help")), 1);
    EXPECT_EQ(field.cursorRects(), (QList<QRectF>{infos->at(0).rect, infos->at(1).rect, infos->at(2).rect}));

    const QImage image = field.grab().toImage();
    const QRect link = infos->at(0).rect.toAlignedRect();
    bool blue = false;
    for (int y = link.top(); y < link.bottom(); ++y)
        for (int x = link.left(); x < link.right(); ++x) {
            const QRgb p = image.pixel(int(x * image.devicePixelRatio()), int(y * image.devicePixelRatio()));
            blue = blue || (qBlue(p) > 200 && qRed(p) < 80 && qGreen(p) < 80);
        }
    EXPECT_TRUE(blue);

    click(&field, infos->at(2).rect.center());
    click(&field, {infos->at(1).rect.right() + 8, infos->at(1).rect.center().y()}); // "or"
    click(&field, infos->at(0).rect.center(), Qt::RightButton);
    click(&field, infos->at(1).rect.center());
    click(&field, infos->at(0).rect.center());
    EXPECT_EQ(opened, (QList<QUrl>{kSecond, kFirst, kFirst}));
}

TEST_F(HyperlinkTextFieldTest, ClicksBesideTheTextTakeTheNearestCharacterAndTheHandShowsOverLinksOnly)
{
    StatusText text(QStringLiteral("Get it from our download page"));
    text.addLink(16, 13, kFirst);
    field.setStringValue(text);
    const QRectF link = field.hyperlinkInfos()->at(0).rect;
    // Right of the line's end (the link's last character), below the link, and below "Get".
    click(&field, {field.width() - 2.0, link.center().y()});
    click(&field, {link.center().x(), field.height() - 2.0});
    click(&field, {2, field.height() - 2.0});
    EXPECT_EQ(opened.size(), 2);

    sendMouse(&field, QEvent::MouseMove, link.center());
    EXPECT_EQ(field.cursor().shape(), Qt::PointingHandCursor);
    sendMouse(&field, QEvent::MouseMove, {link.left() - 20, link.center().y()});
    EXPECT_EQ(field.cursor().shape(), Qt::ArrowCursor);

    // A plain text that follows has no link table, no rectangles and opens nothing.
    field.setStringValue(QStringLiteral("Please connect your LUMIVEX S camera."));
    EXPECT_FALSE(field.hyperlinkInfos().has_value());
    EXPECT_TRUE(field.cursorRects().isEmpty());
    click(&field, link.center());
    EXPECT_EQ(opened.size(), 2);
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
