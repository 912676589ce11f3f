// The About window: version and copyright lines, the icon, what missing entries leave, and a
// window that is loaded once and then only brought back to the front. The name each language
// shows is checked by the launch under each locale.
#include "app/appdelegate.h"
#include "tests/localization/localizationsupport.h"
#include "tests/support/testsupport.h"
#include "ui/aboutwindowcontroller.h"
#include "ui/localization.h"

#include <QColor>
#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

const QByteArray kInfo = R"({"Device Name": "LUMIVEX", "CFBundleShortVersionString": "1.0.0",
                            "NSHumanReadableCopyright": "Copyright \u00a9 2026 LUMIVEX"})";

TEST(AboutWindow, TheResourcesFolderGivesVersionCopyrightAndIcon)
{
    for (const bool complete : {true, false}) {
        SCOPED_TRACE(complete);
        ScratchFolder folder;
        folder.write(QStringLiteral("Info.json"), complete ? kInfo : "{}");
        if (complete) {
            QImage image(64, 64, QImage::Format_ARGB32);
            image.fill(Qt::darkBlue);
            image.save(folder.filePath(QStringLiteral("AppIcon.png")));
        }
        const ScopedStringTables tables(QStringLiteral("de"));
        AboutWindowController controller(Resources(folder.path()), QStringLiteral("de"));
        controller.setAppName(QStringLiteral("LUMIVEX S Firmware-Aktualisierung"));
        ASSERT_FALSE(controller.isWindowLoaded());
        controller.window();
        // Without a device name the German form would have no subject: the composed name stays.
        EXPECT_EQ(controller.appNameLabel->text(), complete ? QStringLiteral("LUMIVEX Firmware Aktualisierung")
                                                            : QStringLiteral("LUMIVEX S Firmware-Aktualisierung"));
        EXPECT_EQ(controller.appVersionLabel->text(), complete ? QStringLiteral("Version 1.0.0") : QStringLiteral("Version"));
        EXPECT_EQ(controller.appCopyrightLabel->text(), complete ? QString::fromUtf8("Copyright © 2026 LUMIVEX") : QString());
        // The folder's icon, scaled up; without one the program's own stands in.
        const QImage icon = controller.appIconImageView->pixmap().toImage();
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.pixelColor(64, 64) == QColor(Qt::darkBlue), complete);
    }
}

TEST(AboutWindow, TheMenuItemShowsOneWindowAndBringsItBack)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Info.json"), kInfo);
    MainWindow window;
    AppDelegate delegate(window, Resources(folder.path()));
    window.show();
    delegate.firmwareProductName = QStringLiteral("LUMIVEX T");

    AboutWindowController &shared = AboutWindowController::defaultController();
    window.applicationMenu()->actions().at(0)->trigger();
    ASSERT_TRUE(shared.isWindowLoaded());
    QWidget *about = shared.window();
    EXPECT_TRUE(about->isVisible());
    const QString name = shared.appNameLabel->text();
    EXPECT_FALSE(name.isEmpty());

    // Closed, and asked for again with another product name: the same window, unchanged.
    about->close();
    delegate.firmwareProductName = QStringLiteral("LUMIVEX S");
    delegate.about();
    EXPECT_EQ(shared.window(), about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(shared.appNameLabel->text(), name);

    // An About window left open does not keep the application alive once the main window closes.
    EXPECT_TRUE(quitsTheApplication([&window] { window.close(); }));
    about->close();
}

} // namespace
