// The About window: the name each language shows, the version and copyright lines, and a window
// that is loaded once and then only brought back to the front.
#include "app/appdelegate.h"
#include "tests/localization/localizationsupport.h"
#include "tests/support/testsupport.h"
#include "ui/aboutwindowcontroller.h"
#include "ui/localization.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>


namespace {

// A resources folder with the three information entries and, unless told otherwise, an icon.
void writeResources(const ScratchFolder &folder, const QByteArray &info, bool icon = true)
{
    folder.write(QStringLiteral("Info.json"), info);
    if (icon) {
        QImage image(64, 64, QImage::Format_ARGB32);
        image.fill(Qt::darkBlue);
        image.save(folder.filePath(QStringLiteral("AppIcon.png")));
    }
}

const QByteArray kInfo = R"({"Device Name": "LUMIVEX", "CFBundleShortVersionString": "1.0.0",
                            "NSHumanReadableCopyright": "Copyright \u00a9 2026 LUMIVEX"})";

} // namespace

// The name in each language, de_CH included, is checked by the launch under each locale.
TEST(AboutWindow, ItalianNamesTheDeviceAndShowsVersionCopyrightAndIcon)
{
    ScratchFolder folder;
    writeResources(folder, kInfo);
    const ScopedStringTables tables(QStringLiteral("it"));
    AboutWindowController controller(Resources(folder.path()), QStringLiteral("it"));
    controller.setAppName(QStringLiteral("Aggiornamento firmware di LUMIVEX T"));
    ASSERT_FALSE(controller.isWindowLoaded());
    controller.window();
    EXPECT_EQ(controller.appNameLabel->text(), QStringLiteral("Aggiornamenti firmware LUMIVEX"));
    EXPECT_EQ(controller.appVersionLabel->text(), localizedText("About_Window_Version") + QStringLiteral(" 1.0.0"));
    EXPECT_EQ(controller.appCopyrightLabel->text(), QString::fromUtf8("Copyright © 2026 LUMIVEX"));
    // The resources folder's icon, not the built-in one.
    EXPECT_EQ(controller.appIconImageView->pixmap().toImage().pixelColor(64, 64), QColor(Qt::darkBlue));
}

TEST(AboutWindow, MissingEntriesLeaveSensibleTexts)
{
    ScratchFolder folder;
    writeResources(folder, "{}", false);
    const ScopedStringTables tables(QStringLiteral("de"));
    AboutWindowController controller(Resources(folder.path()), QStringLiteral("de"));
    controller.setAppName(QStringLiteral("LUMIVEX S Firmware-Aktualisierung"));
    controller.window();
    // Without a device name the German form would have no subject: the composed name stays.
    EXPECT_EQ(controller.appNameLabel->text(), QStringLiteral("LUMIVEX S Firmware-Aktualisierung"));
    EXPECT_EQ(controller.appVersionLabel->text(), QStringLiteral("Version"));
    EXPECT_EQ(controller.appCopyrightLabel->text(), QString());
    // Without an icon in the folder the program's own stands in.
    EXPECT_FALSE(controller.appIconImageView->pixmap().isNull());
}

TEST(AboutWindow, TheMenuItemShowsOneWindowAndBringsItBack)
{
    ScratchFolder folder;
    writeResources(folder, kInfo);
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
