// The About window: version and copyright lines, the icon, and what missing entries leave. The
// name each language shows is checked by the launch under each locale; the window that is loaded
// once and then only brought back to the front, with the application menu's items.
#include "platform/resources.h"
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
    const ScopedStringTables tables(QStringLiteral("de"));
    for (const bool complete : {true, false}) {
        SCOPED_TRACE(complete);
        ScratchFolder folder;
        folder.write(QStringLiteral("Info.json"), complete ? kInfo : "{}");
        if (complete) {
            QImage image(64, 64, QImage::Format_ARGB32);
            image.fill(Qt::darkBlue);
            image.save(folder.filePath(QStringLiteral("AppIcon.png")));
        }
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

} // namespace
