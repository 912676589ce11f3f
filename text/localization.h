// Texts the user reads: looked up by key in the string tables, and formatted with string arguments.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// Installs the English table and, above it, the table of the user's language, so that a key
// missing from the user's language still reads in English. Returns the language code used.
QString installStringTables(QCoreApplication &app, const QString &language);

// The localised text of key; the key itself when no table holds it.
QString localizedText(const char *key);

// A printf-style format whose "%@" placeholders take args in order, "%n$@" takes argument n
// (1-based) and "%%" gives "%". A placeholder without an argument gives nothing; any other
// sequence after "%" stands as written.
QString formatText(QStringView format, const QStringList &args = {});

// The localised text of key used as a format with args.
QString localizedFormat(const char *key, const QStringList &args = {});
