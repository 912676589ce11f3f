// The launch sequence: the state the controller is in afterwards, and which product the catalogue
// names in the first status text and the window title.
#include "app/appdelegate.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"

#include <gtest/gtest.h>

namespace {

struct Launched
{
    explicit Launched(const ScratchFolder &folder)
        : delegate(window, Resources(folder.path()))
    {
        window.show();
        StderrCapture log;
        delegate.applicationDidFinishLaunching();
        drainMainQueue();
        lines = log.lines();
    }

    QString statusShown() const
    {
        for (const QString &line : lines) {
            if (line.startsWith(QStringLiteral("progressText.frame text: ")))
                return line.mid(25).section(QStringLiteral(". rect: "), 0, 0);
        }
        return {};
    }

    MainWindow window;
    AppDelegate delegate;
    QStringList lines;
};

QByteArray image()
{
    return FirmwareImageBuilder().build();
}

} // namespace

TEST(Launch, TheCatalogueNamesTheProduct)
{
    struct Case
    {
        QStringList images; // names; a leading '!' marks an image with a rejected header
        const char *product;
        bool forceUpdate;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("cam_RZ52940_a.bin"), QStringLiteral("cam_RZ52940_b.bin")}, "LUMIVEX T", true},
        {{QStringLiteral("cam_RZ6610M.bin")}, "LUMIVEX S", true},
        {{}, "LUMIVEX S", false},
        {{QStringLiteral("a_RZ6610M.bin"), QStringLiteral("b_RZ52940.bin")}, "LUMIVEX T", true},
        {{QStringLiteral("a_RZ52940.bin"), QStringLiteral("b_RZ6610M.bin")}, "LUMIVEX S", true},
        {{QStringLiteral("a_RZ52940.bin"), QStringLiteral("!b_RZ6610M.bin")}, "LUMIVEX T", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.images.join(u' ').toStdString());
        ScratchFolder folder;
        folder.write(QStringLiteral("Info.json"), R"({"Device Name": "LUMIVEX"})");
        for (QString name : c.images) {
            const bool rejected = name.startsWith(u'!');
            folder.write(QStringLiteral("Opt/") + name.remove(u'!'), rejected ? image().left(64) : image());
        }
        const Launched launched(folder);
        const QString product = QString::fromLatin1(c.product);
        EXPECT_EQ(launched.delegate.firmwareProductName, product);
        EXPECT_EQ(launched.statusShown(), QStringLiteral("Please connect your %1 camera.").arg(product));
        EXPECT_EQ(launched.window.windowTitle(), product + QStringLiteral(" Firmware Updater"));
        EXPECT_EQ(launched.delegate.forceUpdate, c.forceUpdate);
    }
}

TEST(Launch, AMissingInformationFileStillLaunches)
{
    ScratchFolder folder;
    const Launched launched(folder);
    EXPECT_TRUE(launched.delegate.deviceName.isEmpty());
    EXPECT_EQ(launched.statusShown(), QStringLiteral("Please connect your LUMIVEX S camera."));
}
