// The application menu and the About window it opens: the French, German, Italian and Dutch
// phrases follow the language code (the launch under each locale checks each language's whole menu
// and About window); what the items do here, and what missing entries leave in the About window,
// which is loaded once and then only brought back to the front.
#include "app/appdelegate.h"
#include "tests/localization/localizationsupport.h"
#include "tests/support/testsupport.h"
#include "ui/aboutwindowcontroller.h"
#include "ui/applicationmenu.h"
#include "ui/mainwindow.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

// Runs the event loop around action (at most 3 s) and tells whether the application then found its
// last window closed and quit, as it does when the user closes the main window. The application
// reports its last window closed only while its event loop runs.
bool quitsTheApplication(const std::function<void()> &action)
{
    bool lastWindowClosed = false;
    QObject context;
    QObject::connect(qGuiApp, &QGuiApplication::lastWindowClosed, &context,
                     [&lastWindowClosed] { lastWindowClosed = true; });
    QTimer::singleShot(0, &context, action);
    QTimer::singleShot(3000, &context, [] { QCoreApplication::exit(1); });
    return QCoreApplication::exec() == 0 && lastWindowClosed;
}

} // namespace

TEST(ApplicationMenu, OverridesFollowTheLanguageCodeAndLowerOnlyTheFirstUnit)
{
    // English texts with the code "it" still name the device; an unknown code keeps every default.
    const ScopedStringTables tables(QStringLiteral("en"));
    const QString app = QStringLiteral("LUMIVEX Firmware Updater");
    for (const auto &[code, about] : {std::pair{"it", QStringLiteral("About LUMIVEX")}, {"de_CH", "About " + app}})
        EXPECT_EQ(applicationMenuTitles(app, QStringLiteral("LUMIVEX"), QString::fromLatin1(code)).about, about) << code;
    // Without a device name, no title built from it: no fragment with a blank where the name would be.
    for (const char *code : {"fr", "de", "it", "nl"}) {
        const ApplicationMenuTitles unnamed = applicationMenuTitles(app, QString(), QString::fromLatin1(code));
        EXPECT_TRUE(unnamed.menuTitle == app && unnamed.about == "About " + app && unnamed.quitApplication.endsWith(app, Qt::CaseInsensitive)) << code;
    }
    // A surrogate, which has no lower case, stays.
    const QString outsideTheBmp = QString::fromUtf8("\xF0\x9D\x90\x80" "BC");
    for (const auto &[in, out] : {std::pair{QString::fromUtf8("ÉDITEUR X"), QString::fromUtf8("éDITEUR X")},
                                  std::pair{QString(), QString()}, std::pair{outsideTheBmp, outsideTheBmp}})
        EXPECT_EQ(lowerFirst(in), out);
}

// The updater has no settings, and the other applications are the desktop's business. About
// loads one window, opens it over the main window, and afterwards only brings it back; neither Quit nor closing the main window is
// held up by an About window left open.
TEST(ApplicationMenu, ItemsBehaveAsOnThisDesktop)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Info.json"), R"({"Device Name": "LUMIVEX"})");
    MainWindow window;
    AppDelegate delegate(window, Resources(folder.path()));
    window.move(150, 200); // room around for the About window
    window.show();
    const QList<QAction *> items = window.applicationMenu()->actions();
    QString enabled; // About, Hide and Quit only; "-" a separator
    for (const QAction *item : items)
        enabled += item->isSeparator() ? u'-' : item->isEnabled() ? u'y' : u'n';
    ASSERT_EQ(enabled, QStringLiteral("y-n-n-ynn-y"));

    // Closed, and asked for again under another product name: the same window, unchanged.
    AboutWindowController &about = AboutWindowController::defaultController();
    delegate.firmwareProductName = QStringLiteral("LUMIVEX T");
    items.at(0)->trigger();
    ASSERT_TRUE(about.isWindowLoaded());
    QWidget *aboutWindow = about.window();
    const QString name = about.appNameLabel->text();
    EXPECT_TRUE(aboutWindow->isVisible() && !name.isEmpty());
    EXPECT_LE((aboutWindow->frameGeometry().center() - window.frameGeometry().center()).manhattanLength(), 4); // over the window
    aboutWindow->close();
    delegate.firmwareProductName = QStringLiteral("LUMIVEX S");
    items.at(0)->trigger();
    EXPECT_TRUE(about.window() == aboutWindow && aboutWindow->isVisible() && about.appNameLabel->text() == name);
    EXPECT_TRUE(quitsTheApplication([&window] { window.close(); }));

    window.show();
    items.at(6)->trigger();
    EXPECT_TRUE(window.windowState() & Qt::WindowMinimized);
    window.showNormal();
    EXPECT_TRUE(quitsTheApplication([&items] { items.at(10)->trigger(); }));
    EXPECT_FALSE(window.isVisible());
    aboutWindow->close();
}

// An information file without entries and no icon: the composed name, a bare "Version", no
// copyright and the program's own icon. (What a complete folder gives: the launch in each language.)
TEST(AboutWindow, MissingEntriesLeaveTheComposedNameAndTheProgramsOwnIcon)
{
    const ScopedStringTables tables(QStringLiteral("de"));
    ScratchFolder folder;
    folder.write(QStringLiteral("Info.json"), "{}");
    AboutWindowController controller(Resources(folder.path()), QStringLiteral("de"));
    controller.setAppName(QStringLiteral("LUMIVEX S Firmware-Aktualisierung"));
    ASSERT_FALSE(controller.isWindowLoaded());
    controller.window();
    // Without a device name the German form would have no subject: the composed name stays.
    EXPECT_EQ(std::tuple(controller.appNameLabel->text(), controller.appVersionLabel->text(), controller.appCopyrightLabel->text()),
              std::tuple(QStringLiteral("LUMIVEX S Firmware-Aktualisierung"), QStringLiteral("Version"), QString()));
    EXPECT_FALSE(controller.appIconImageView->pixmap().toImage().isNull());
}
