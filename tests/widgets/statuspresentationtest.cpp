// Status texts shown through the controller in the real main window: the fitted font, the size
// taken in the previous font, the placement by the layout flags, and rich texts keeping their links.
#include "app/appdelegate.h"
#include "ui/hyperlinklayout.h"
#include "ui/mainwindow.h"
#include "ui/statuslayout.h"
#include "ui/textmeasure.h"

#include "tests/support/testsupport.h"
#include "tests/widgets/widgettestsupport.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

class StatusPresentationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.show();
        delegate.defaultFont = systemFontOfSize(16);
        field = window.ui.progressText;
        content = window.ui.contentView;
    }

    void show(const StatusText &text)
    {
        delegate.update_status_text(text);
        drainMainQueue();
    }

    ScratchFolder resources;
    MainWindow window;
    AppDelegate delegate{window, Resources(resources.path())};
    HyperlinkTextField *field = nullptr;
    ContentView *content = nullptr;
};

TEST_F(StatusPresentationTest, RichTextKeepsItsLink)
{
    const QUrl url(QStringLiteral("https://example.com/download"));
    StatusText text(QStringLiteral("To update your LUMIVEX S, get the updater from our download page."));
    text.addLink(text.plainText().indexOf(QStringLiteral("download page")), 13, url);
    text.setAlignment(Qt::AlignHCenter);
    OpenedUrls opened(*field);
    show(text);

    EXPECT_EQ(field->stringValue().plainText(), text.plainText());
    ASSERT_EQ(field->stringValue().links().size(), 1);
    const auto infos = field->hyperlinkInfos();
    ASSERT_TRUE(infos.has_value());
    EXPECT_EQ(infos->at(0).url, url);
    // What the field paints is a link too: blue.
    const QImage image = field->grab().toImage();
    const QRect link = infos->at(0).rect.toAlignedRect();
    bool blue = false;
    for (int y = link.top(); y < link.bottom(); ++y)
        for (int x = link.left(); x < link.right(); ++x) {
            const QRgb p = image.pixel(int(x * image.devicePixelRatio()), int(y * image.devicePixelRatio()));
            blue = blue || (qBlue(p) > 200 && qRed(p) < 80 && qGreen(p) < 80);
        }
    EXPECT_TRUE(blue);

    click(field, infos->last().rect.center());
    EXPECT_EQ(*opened.urls, QList<QUrl>{url});
}

TEST_F(StatusPresentationTest, FontIsTheFittedSizeLessOne)
{
    // One line fits at 16 and shows at 15; so does an empty text.
    show(QStringLiteral("Please connect your camera."));
    EXPECT_EQ(field->font().pixelSize(), 15);
    show(QString());
    EXPECT_EQ(field->font().pixelSize(), 15);

    // Nothing fits, not even at 1: the platform's default size.
    const QString unbreakable(4000, QLatin1Char('W'));
    ASSERT_EQ(delegate.getAppropriateFontSizeforStringInRect(400, 100, unbreakable), 0);
    show(unbreakable);
    EXPECT_EQ(field->font().pixelSize(), systemFontOfSize(0).pixelSize());
    EXPECT_EQ(field->font().pointSizeF(), systemFontOfSize(0).pointSizeF());
}

TEST_F(StatusPresentationTest, TheFieldAlwaysHoldsItsWholeText)
{
    QString longer;
    for (int i = 0; i < 30; ++i)
        longer += QStringLiteral("firmware ");
    // A short prompt after a long message that was shown smaller: sized in the smaller font, the
    // field would cut the prompt's second line off.
    for (const QString &text : {QStringLiteral("Short."), longer, QStringLiteral("Please connect your LUMIVEX T camera.")}) {
        show(text);
        HyperlinkTextField probe;
        probe.setPreferredMaxLayoutWidth(field->preferredMaxLayoutWidth());
        probe.setFont(field->font());
        probe.setStringValue(text);
        EXPECT_EQ(content->frameOf(field).size(), (Size{double(probe.naturalSize().width()), double(probe.naturalSize().height())}))
            << text.toStdString();
    }
}

} // namespace
