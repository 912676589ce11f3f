// The application menu in each language: default titles from the string table, and the French,
// German, Italian and Dutch phrases that replace parts of them; what its items do on this desktop.
#include "tests/localization/localizationsupport.h"
#include "ui/applicationmenu.h"
#include "ui/localization.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

const QString kDeviceName = QStringLiteral("LUMIVEX");

QStringList menuTexts(const QMenu &menu)
{
    QStringList texts{menu.title()};
    for (const QAction *item : menu.actions())
        texts.append(item->isSeparator() ? QStringLiteral("---") : item->text());
    return texts;
}

// The menu as the table alone words it: title, then positions 0 to 10 with the separators.
QStringList defaultTexts(const TranslationFile &table, const QString &appName)
{
    const auto text = [&table](const char *key, const QStringList &args = {}) {
        return formatText(table.texts.value(QString::fromLatin1(key)), args);
    };
    const QString separator = QStringLiteral("---");
    return {appName,
            text("MainMenu_About", {appName}), separator,
            text("MainMenu_Preferences"), separator,
            text("MainMenu_Services"), separator,
            text("MainMenu_HideApplication", {appName}),
            text("MainMenu_HideOthers"),
            text("MainMenu_ShowAll"), separator,
            text("MainMenu_QuitApplication", {appName})};
}

} // namespace

TEST(ApplicationMenu, EachLanguageGetsItsTitlesAndOverrides)
{
    const std::vector<TranslationFile> files = readTranslationFiles();
    for (const QString &language : shippedLanguages()) {
        SCOPED_TRACE(language.toStdString());
        const TranslationFile &table = translationFile(files, language);
        const ScopedStringTables tables(language);
        const QString appName = localizedFormat("MainMenu_Application_Name", {kDeviceName});

        MainWindow window;
        localizeApplicationMenu(*window.applicationMenu(), appName, kDeviceName, language);

        QStringList expected = defaultTexts(table, appName);
        if (language == u"fr") {
            expected[1] = QString::fromUtf8("À propos de la mise à jour du micrologiciel LUMIVEX");
            expected[7] = QString::fromUtf8("Masquer la mise à jour du micrologiciel LUMIVEX");
            expected[11] = QString::fromUtf8("Quitter la mise à jour du micrologiciel LUMIVEX");
        } else if (language == u"de") {
            expected[11] = QStringLiteral("LUMIVEX Firmware Aktualisierung beenden");
        } else if (language == u"it") {
            expected[1] = QStringLiteral("Informazioni su LUMIVEX");
            expected[7] = QStringLiteral("Nascondi LUMIVEX");
            expected[11] = QStringLiteral("Esci da LUMIVEX");
        } else if (language == u"nl") {
            expected[0] = QStringLiteral("LUMIVEX Firmware Updaten");
        }
        EXPECT_EQ(menuTexts(*window.applicationMenu()), expected);
    }
}

TEST(ApplicationMenu, OverridesFollowTheLanguageCodeNotTheTable)
{
    // The phrases belong to the language code: English texts with the code "it" still name the
    // device, "fr" lowers the first letter, and Japanese (or an unknown code) keeps every default.
    const ScopedStringTables tables(QStringLiteral("en"));
    const QString appName = QStringLiteral("LUMIVEX Firmware Updater");
    const auto titles = [&appName](const char *code) {
        const ApplicationMenuTitles t = applicationMenuTitles(appName, kDeviceName, QString::fromLatin1(code));
        return QStringList{t.menuTitle, t.about, t.hideApplication, t.quitApplication};
    };
    EXPECT_EQ(titles("it"), (QStringList{appName, "About LUMIVEX", "Hide LUMIVEX", "Quit LUMIVEX"}));
    EXPECT_EQ(titles("fr").at(2), QStringLiteral("Hide lUMIVEX Firmware Updater"));
    for (const char *code : {"ja", "en", "C", "FR", "de_CH"}) {
        EXPECT_EQ(titles(code), (QStringList{appName, "About " + appName, "Hide " + appName, "Quit " + appName})) << code;
    }
}

TEST(ApplicationMenu, LowerFirstChangesOnlyTheFirstCodeUnit)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {QString::fromUtf8("ÉDITEUR X"), QString::fromUtf8("éDITEUR X")},
        {QStringLiteral("7 Tools"), QStringLiteral("7 Tools")},
        {QString(), QString()},
        // A character outside the BMP starts with a surrogate, which has no lower case of its own.
        {QString::fromUtf8("\xF0\x9D\x90\x80" "BC"), QString::fromUtf8("\xF0\x9D\x90\x80" "BC")},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(lowerFirst(in), out) << in.toStdString();
}

TEST(ApplicationMenu, ItemsBehaveAsOnThisDesktop)
{
    MainWindow window;
    window.show();
    const QList<QAction *> items = window.applicationMenu()->actions();
    ASSERT_EQ(items.size(), 11);
    // The updater has no settings, and the other applications are the desktop's business.
    for (int i : {0, 6, 10})
        EXPECT_TRUE(items.at(i)->isEnabled()) << i;
    for (int i : {2, 4, 7, 8})
        EXPECT_FALSE(items.at(i)->isEnabled()) << i;

    items.at(6)->trigger();
    EXPECT_TRUE(window.windowState() & Qt::WindowMinimized);
    window.showNormal();
    EXPECT_TRUE(quitsTheApplication([&items] { items.at(10)->trigger(); }));
    EXPECT_FALSE(window.isVisible());
}
