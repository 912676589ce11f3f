// Titles of the application menu, in the user's language.
#include "ui/applicationmenu.h"

#include "ui/localization.h"

#include <QAction>
#include <QMenu>

namespace {

void setItemTitle(QMenu &menu, int position, const QString &title)
{
    const QList<QAction *> items = menu.actions();
    if (position < items.size())
        items.at(position)->setText(title);
}

} // namespace

void localizeApplicationMenu(QMenu &menu, const QString &localizedAppName, const QString &deviceName,
                             const QString &language)
{
    Q_UNUSED(deviceName);
    Q_UNUSED(language);
    menu.setTitle(localizedAppName);
    setItemTitle(menu, 0, localizedFormat("MainMenu_About", {localizedAppName}));
    setItemTitle(menu, 2, localizedText("MainMenu_Preferences"));
    setItemTitle(menu, 4, localizedText("MainMenu_Services"));
    setItemTitle(menu, 6, localizedFormat("MainMenu_HideApplication", {localizedAppName}));
    setItemTitle(menu, 7, localizedText("MainMenu_HideOthers"));
    setItemTitle(menu, 8, localizedText("MainMenu_ShowAll"));
    setItemTitle(menu, 10, localizedFormat("MainMenu_QuitApplication", {localizedAppName}));
}
