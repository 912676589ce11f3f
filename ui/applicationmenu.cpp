// Titles of the application menu, in the user's language.
#include "ui/applicationmenu.h"

#include "text/localization.h"

#include <QAction>
#include <QMenu>

namespace {

// Phrases the string tables cannot express: they replace the application's name, or a whole
// title, where the language builds it differently.
constexpr char16_t kFrenchAboutName[] = u"de la mise à jour du micrologiciel %@";
constexpr char16_t kGermanQuitTitle[] = u"%@ Firmware Aktualisierung beenden";
constexpr char16_t kDutchMenuTitle[] = u"%@ Firmware Updaten";

void setItemTitle(QMenu &menu, int position, const QString &title)
{
    const QList<QAction *> items = menu.actions();
    if (position < items.size())
        items.at(position)->setText(title);
}

} // namespace

QString lowerFirst(const QString &x)
{
    if (x.isEmpty())
        return x;
    QString result = x;
    // QChar::toLower leaves a lone surrogate as it is, so a name that starts outside the BMP
    // comes back unchanged.
    result[0] = result[0].toLower();
    return result;
}

ApplicationMenuTitles applicationMenuTitles(const QString &localizedAppName, const QString &deviceName,
                                            const QString &language)
{
    ApplicationMenuTitles titles{
        localizedAppName,
        localizedFormat("MainMenu_About", {localizedAppName}),
        localizedText("MainMenu_Preferences"),
        localizedText("MainMenu_Services"),
        localizedFormat("MainMenu_HideApplication", {localizedAppName}),
        localizedText("MainMenu_HideOthers"),
        localizedText("MainMenu_ShowAll"),
        localizedFormat("MainMenu_QuitApplication", {localizedAppName}),
    };

    // Four independent overrides, each free to overwrite what an earlier one set. Without a device
    // name the phrases built from it would read as fragments: the defaults stay, as in the About
    // window.
    const bool named = !deviceName.isEmpty();
    if (language == u"fr") {
        if (named)
            titles.about = localizedFormat("MainMenu_About", {formatText(kFrenchAboutName, {deviceName})});
        titles.hideApplication = localizedFormat("MainMenu_HideApplication", {lowerFirst(localizedAppName)});
        titles.quitApplication = localizedFormat("MainMenu_QuitApplication", {lowerFirst(localizedAppName)});
    }
    if (language == u"de" && named)
        titles.quitApplication = formatText(kGermanQuitTitle, {deviceName});
    if (language == u"it" && named) {
        titles.about = localizedFormat("MainMenu_About", {deviceName});
        titles.hideApplication = localizedFormat("MainMenu_HideApplication", {deviceName});
        titles.quitApplication = localizedFormat("MainMenu_QuitApplication", {deviceName});
    }
    if (language == u"nl" && named)
        titles.menuTitle = formatText(kDutchMenuTitle, {deviceName});
    return titles;
}

void localizeApplicationMenu(QMenu &menu, const QString &localizedAppName, const QString &deviceName,
                             const QString &language)
{
    const ApplicationMenuTitles titles = applicationMenuTitles(localizedAppName, deviceName, language);
    menu.setTitle(titles.menuTitle);
    setItemTitle(menu, 0, titles.about);
    setItemTitle(menu, 2, titles.preferences);
    setItemTitle(menu, 4, titles.services);
    setItemTitle(menu, 6, titles.hideApplication);
    setItemTitle(menu, 7, titles.hideOthers);
    setItemTitle(menu, 8, titles.showAll);
    setItemTitle(menu, 10, titles.quitApplication);
}
