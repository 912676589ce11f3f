// The application menu: the French, German, Italian and Dutch phrases follow the language code
// (the launch under each locale checks each language's whole menu); what its items do here.
#include "app/appdelegate.h"
#include "tests/localization/localizationsupport.h"
#include "tests/support/testsupport.h"
#include "ui/aboutwindowcontroller.h"
#include "ui/applicationmenu.h"
#include "ui/localization.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>

#include <gtest/gtest.h>

TEST(ApplicationMenu, OverridesFollowTheLanguageCodeAndLowerOnlyTheFirstUnit)
{
    // English texts with the code "it" still name the device; an unknown code keeps every default.
    const ScopedStringTables tables(QStringLiteral("en"));
    const QString app = QStringLiteral("LUMIVEX Firmware Updater");
    for (const auto &[code, about] : {std::pair{"it", QStringLiteral("About LUMIVEX")}, {"de_CH", "About " + app}})
        EXPECT_EQ(applicationMenuTitles(app, QStringLiteral("LUMIVEX"), QString::fromLatin1(code)).about, about) << code;
    // A surrogate, which has no lower case, stays.
    const QString outsideTheBmp = QString::fromUtf8("\xF0\x9D\x90\x80" "BC");
    for (const auto &[in, out] : {std::pair{QString::fromUtf8("ÉDITEUR X"), QString::fromUtf8("éDITEUR X")},
                                  std::pair{QString(), QString()}, std::pair{outsideTheBmp, outsideTheBmp}})
        EXPECT_EQ(lowerFirst(in), out);
}

// The updater has no settings, and the other applications are the desktop's business. About
// loads one window and afterwards only brings it back; neither Quit nor closing the main window is
// held up by an About window left open.
TEST(ApplicationMenu, ItemsBehaveAsOnThisDesktop)
{
    ScratchFolder folder;
    folder.write(QStringLiteral("Info.json"), R"({"Device Name": "LUMIVEX"})");
    MainWindow window;
    AppDelegate delegate(window, Resources(folder.path()));
    window.show();
    const QList<QAction *> items = window.applicationMenu()->actions();
    ASSERT_EQ(items.size(), 11);
    for (int i : {0, 6, 10})
        EXPECT_TRUE(items.at(i)->isEnabled()) << i;
    for (int i : {2, 4, 7, 8})
        EXPECT_FALSE(items.at(i)->isEnabled()) << i;

    // Closed, and asked for again under another product name: the same window, unchanged.
    AboutWindowController &about = AboutWindowController::defaultController();
    delegate.firmwareProductName = QStringLiteral("LUMIVEX T");
    items.at(0)->trigger();
    ASSERT_TRUE(about.isWindowLoaded());
    QWidget *aboutWindow = about.window();
    const QString name = about.appNameLabel->text();
    EXPECT_TRUE(aboutWindow->isVisible() && !name.isEmpty());
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
