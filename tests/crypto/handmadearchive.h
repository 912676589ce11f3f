// Keyed archives and encrypted files made without the updater's own writer and codec: the archive
// node by node with libplist, the encryption by the openssl command.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <variant>

namespace HandMade {

// An element as a platform archiver may store it.
struct MutableData { QByteArray bytes; };  // NSMutableData: a dictionary holding NS.data
struct MutableString { QString text; };    // NSMutableString: a dictionary holding NS.string
struct Real { double value; };
struct Nil {};                             // a reference to "$null"
using Element = std::variant<QByteArray, QString, quint64, MutableData, MutableString, Real, Nil>;

// An archive whose root is an NSMutableArray; the elements are stored in $objects in reverse
// order and share one class description per class, as the platform's archiver is free to do.
QByteArray archive(const QList<Element> &elements);

// The binary form of a property list tree; frees the tree.
QByteArray toBinary(void *root);

// A binary property list that is no keyed archive: a plain array of the strings.
QByteArray plainPropertyList(const QStringList &strings);

// AES-256-CBC, PKCS#7, zero IV, key = SHA-256 of the key string, by `openssl enc`.
QByteArray opensslEncrypt(const QByteArray &plain, const QString &keyString);

} // namespace HandMade
