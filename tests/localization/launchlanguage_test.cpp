// The launch in the user's language, as the locale of the process gives it: the string tables the
// program's entry installs, then the window title, button, application menu and About window
// (name, version, copyright, icon and place) of the launch sequence. CTest runs this program once
// per locale; LUMIVEX_EXPECTED_LANGUAGE names the language code that locale must give. (The
// installed program's own prompt in the user's language: tests/install.)
#include "app/appdelegate.h"
#include "platform/language.h"
#include "tests/localization/localizationsupport.h"
#include "tests/support/testsupport.h"
#include "tools/firmwareimagebuilder.h"
#include "ui/aboutwindowcontroller.h"
#include "text/localization.h"

#include <QCoreApplication>
#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include <map>

namespace {

const QString kExpected = qEnvironmentVariable("LUMIVEX_EXPECTED_LANGUAGE");
const QString kT = QStringLiteral("LUMIVEX T");

// The table the language reads from: its own, or English for a language the updater does not ship.
QString tableText(const char *key, const QStringList &args = {})
{
    static const auto files = readTranslationFiles();
    const QString language = shippedLanguages().contains(kExpected) ? kExpected : QStringLiteral("en");
    return formatText(files.at(language).texts.value(QString::fromLatin1(key)), args);
}

// A T-kind catalogue, so that the product name in the texts comes from the catalogue, and an icon.
void writeResources(const ScratchFolder &folder)
{
    folder.write(QStringLiteral("Info.json"), R"({"Device Name": "LUMIVEX", "CFBundleShortVersionString": "1.0.0",
                                                 "NSHumanReadableCopyright": "Copyright \u00a9 2026 LUMIVEX"})");
    QImage icon(64, 64, QImage::Format_ARGB32);
    icon.fill(Qt::darkBlue);
    icon.save(folder.filePath(QStringLiteral("AppIcon.png")));
    folder.write(QStringLiteral("Opt/cam_RZ52940.bin"), FirmwareImageBuilder().build());
}

TEST(LaunchLanguage, TheWindowMenuAndAboutWindowSpeakTheUsersLanguage)
{
    ASSERT_FALSE(kExpected.isEmpty()) << "LUMIVEX_EXPECTED_LANGUAGE is not set";
    ASSERT_EQ(languageCode(), kExpected);
    ScratchFolder folder;
    writeResources(folder);
    qputenv("LUMIVEX_RESOURCES_DIR", folder.path().toUtf8());
    // As the program's entry does it.
    EXPECT_EQ(installStringTables(*QCoreApplication::instance(), languageCode()),
              shippedLanguages().contains(kExpected) ? kExpected : QStringLiteral("en"));
    MainWindow window;
    AppDelegate delegate(window, Resources::locate());
    window.show();
    delegate.applicationDidFinishLaunching();
    drainMainQueue();

    const QString title = tableText("Application_Title", {kT});
    EXPECT_EQ(window.windowTitle(), title);
    EXPECT_EQ(delegate.button_update->text(), tableText("Button_Update"));

    // The menu as the table words it, then the phrases French, German, Italian and Dutch put in.
    const QString app = tableText("MainMenu_Application_Name", {QStringLiteral("LUMIVEX")}), sep = QStringLiteral("---");
    QStringList menu = {app, tableText("MainMenu_About", {app}), sep, tableText("MainMenu_Preferences"), sep,
                        tableText("MainMenu_Services"), sep, tableText("MainMenu_HideApplication", {app}),
                        tableText("MainMenu_HideOthers"), tableText("MainMenu_ShowAll"), sep,
                        tableText("MainMenu_QuitApplication", {app})};
    // Each language's phrases: menu lines by place, and (at -1) the About window's name.
    const std::map<QString, std::map<int, QString>> phrases = {
        {"fr", {{1, "À propos de la mise à jour du micrologiciel LUMIVEX"}, {7, "Masquer la mise à jour du micrologiciel LUMIVEX"},
                {11, "Quitter la mise à jour du micrologiciel LUMIVEX"}}},
        {"de", {{11, "LUMIVEX Firmware Aktualisierung beenden"}, {-1, "LUMIVEX Firmware Aktualisierung"}}},
        {"it", {{1, "Informazioni su LUMIVEX"}, {7, "Nascondi LUMIVEX"}, {11, "Esci da LUMIVEX"}, {-1, "Aggiornamenti firmware LUMIVEX"}}},
        {"nl", {{0, "LUMIVEX Firmware Updaten"}}},
    };
    QString aboutName = title;
    for (const auto &[place, phrase] : phrases.count(kExpected) ? phrases.at(kExpected) : std::map<int, QString>())
        (place < 0 ? aboutName : menu[place]) = phrase;
    QStringList shown{window.applicationMenu()->title()};
    for (const QAction *item : window.applicationMenu()->actions())
        shown.append(item->isSeparator() ? sep : item->text());
    EXPECT_EQ(shown, menu);

    window.ui.actionAbout->trigger();
    const AboutWindowController &about = AboutWindowController::defaultController();
    ASSERT_TRUE(about.appNameLabel);
    EXPECT_EQ(about.appNameLabel->text(), aboutName);
    EXPECT_EQ(about.appVersionLabel->text(), tableText("About_Window_Version") + QStringLiteral(" 1.0.0"));
    EXPECT_EQ(about.appCopyrightLabel->text(), QString::fromUtf8("Copyright © 2026 LUMIVEX"));
    // The folder's icon, scaled up.
    EXPECT_EQ(about.appIconImageView->pixmap().toImage().pixelColor(64, 64), QColor(Qt::darkBlue));
    // Asked from the window in the screen's corner, it opens inside the screen, not centred over
    // the window half off it; the name on one line.
    EXPECT_TRUE(window.screen()->availableGeometry().contains(about.appNameLabel->window()->frameGeometry()));
    EXPECT_LT(about.appNameLabel->height(), 2 * QFontMetrics(about.appNameLabel->font()).lineSpacing());
}

} // namespace
