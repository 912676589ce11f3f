// Titles of the application menu, in the user's language.
#pragma once

#include <QString>

class QMenu;

// x with its first UTF-16 code unit in lower case; the rest unchanged.
QString lowerFirst(const QString &x);

// What the application menu reads: its title and the titles of the items at 0 (About),
// 2 (Preferences), 4 (Services), 6 (Hide), 7 (Hide Others), 8 (Show All) and 10 (Quit).
struct ApplicationMenuTitles
{
    QString menuTitle;
    QString about;
    QString preferences;
    QString services;
    QString hideApplication;
    QString hideOthers;
    QString showAll;
    QString quitApplication;
};

// The titles from the installed string tables, with the built-in phrases of French, German,
// Italian and Dutch where those languages word the application's name differently.
ApplicationMenuTitles applicationMenuTitles(const QString &localizedAppName, const QString &deviceName,
                                            const QString &language);

// Relabels the menu's title and its items at the positions above; the separators between them
// stay as they are.
void localizeApplicationMenu(QMenu &menu, const QString &localizedAppName, const QString &deviceName,
                             const QString &language);
