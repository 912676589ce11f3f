// The user's language as a two-letter code ("fr", "de", …), from the system locale.
#include "platform/language.h"

#include <QLocale>

QString languageCode()
{
    // QLocale::system() follows LC_ALL, LC_MESSAGES and LANG; "C" and "POSIX" give "C",
    // which matches none of the languages the updater singles out.
    return QLocale::languageToCode(QLocale::system().language());
}
