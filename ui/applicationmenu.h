// Titles of the application menu, in the user's language.
#pragma once

#include <QString>

class QMenu;

// Relabels the menu's title and its items at 0 (About), 2 (Preferences), 4 (Services), 6 (Hide),
// 7 (Hide Others), 8 (Show All) and 10 (Quit); the separators between them stay as they are.
void localizeApplicationMenu(QMenu &menu, const QString &localizedAppName, const QString &deviceName,
                             const QString &language);
